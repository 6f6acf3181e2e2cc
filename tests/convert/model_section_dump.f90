! Reads the model sections of an SV and an SH converted file (sequential
! unformatted records in the byte order given as the third argument,
! BIG_ENDIAN or LITTLE_ENDIAN) and prints them, reals as the integers of
! their bit patterns:
!   FILE SV|SH, TITLE <the 18 title words as characters>, COUNTS ndpt and the
!   ten counts, BOUND keys and counts, LIST values (five lists), NODE n and
!   "N num x z" lines, then one "<head> n" line per element record with its
!   "E" rows (and "DEN" lines after the solids), and END when the file ends
!   right after its last element record (REST when more records follow).
! The element records present follow from the counts of the header record.
program model_section_dump
  implicit none
  character(len=1024) :: sv_path, sh_path
  character(len=16) :: order

  call get_command_argument(1, sv_path)
  call get_command_argument(2, sh_path)
  call get_command_argument(3, order)
  call dump_file(sv_path, 'SV')
  call dump_file(sh_path, 'SH')

contains

  subroutine dump_file(path, which)
    character(len=*), intent(in) :: path, which
    character(len=8), parameter :: sv_heads(10) = [character(len=8) :: 'SOLID', 'BEAM', 'SPRING', 'ROTATE', &
                                                    'WATER', 'WATERB', 'SHELL', 'RIGID', 'JOINT', 'VOID']
    integer, parameter :: sv_slots(10) = [1, 2, 3, 4, 5, 6, 7, 8, 10, 9]
    integer :: u, ios, words(18), ndpt, counts(10), keyb(3), nb(3), k
    character(len=72) :: title
    integer, allocatable :: lists(:), ndpts(:)
    real, allocatable :: xord(:), zord(:)

    open(newunit=u, file=trim(path), form='UNFORMATTED', access='SEQUENTIAL', status='OLD', action='READ', &
         convert=trim(order), iostat=ios)
    if (ios /= 0) call fail('open')
    write(*, '(A,A)') 'FILE ', which

    read(u, iostat=ios) words, ndpt, counts
    if (ios /= 0) call fail('header record')
    title = transfer(words, title)
    write(*, '(A,A)') 'TITLE ', title
    write(*, '(A,*(1X,I0))') 'COUNTS', ndpt, counts

    read(u, iostat=ios) keyb, nb
    if (ios /= 0) call fail('boundary counts')
    backspace(u)
    allocate(lists(2 * max(nb(1), 0) + 2 * max(nb(2), 0) + max(nb(3), 0)))
    read(u, iostat=ios) keyb, nb, lists
    if (ios /= 0) call fail('boundary record')
    write(*, '(A,*(1X,I0))') 'BOUND', keyb, nb
    write(*, '(A,*(1X,I0))') 'LIST', lists

    allocate(ndpts(max(ndpt, 0)), xord(max(ndpt, 0)), zord(max(ndpt, 0)))
    read(u, iostat=ios) ndpts, xord, zord
    if (ios /= 0) call fail('node record')
    write(*, '(A,1X,I0)') 'NODE', ndpt
    do k = 1, max(ndpt, 0)
      write(*, '(A,*(1X,I0))') 'N', ndpts(k), transfer(xord(k), 0), transfer(zord(k), 0)
    end do

    if (which == 'SV') then
      do k = 1, 10
        if (counts(sv_slots(k)) > 0) call element_record(u, sv_heads(k), k == 1)
      end do
    else
      if (counts(1) > 0) call element_record(u, 'SOLID', .true.)
      if (counts(3) > 0) call element_record(u, 'SPRING', .false.)
    end if

    read(u, iostat=ios) k
    if (ios < 0) then
      write(*, '(A)') 'END'
    else
      write(*, '(A)') 'REST'
    end if
    close(u)
  end subroutine

  subroutine element_record(u, head, solid)
    integer, intent(in) :: u
    character(len=*), intent(in) :: head
    logical, intent(in) :: solid
    integer :: n, ios, k
    integer, allocatable :: rows(:, :)
    real, allocatable :: den(:)

    read(u, iostat=ios) n
    if (ios /= 0) call fail('element count')
    backspace(u)
    allocate(rows(5, n), den(n))
    if (solid) then
      read(u, iostat=ios) n, rows, den
    else
      read(u, iostat=ios) n, rows
    end if
    if (ios /= 0) call fail('element record')
    write(*, '(A,1X,I0)') trim(head), n
    do k = 1, n
      write(*, '(A,*(1X,I0))') 'E', rows(:, k)
    end do
    if (solid) then
      do k = 1, n
        write(*, '(A,1X,I0)') 'DEN', transfer(den(k), 0)
      end do
    end if
  end subroutine

  subroutine fail(why)
    character(len=*), intent(in) :: why
    write(*, '(A,A)') 'FAIL ', why
    stop 1
  end subroutine

end program model_section_dump
