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
! Given a fourth and a fifth argument, it writes there what it read of each
! file as its text twin: the same blocks through the twins' layouts.
program model_section_dump
  implicit none
  character(len=1024) :: args(5)
  integer :: k

  do k = 1, 5
    call get_command_argument(k, args(k))
  end do
  call dump_file(args(1), args(4), 'SV')
  call dump_file(args(2), args(5), 'SH')

contains

  subroutine dump_file(path, text_path, which)
    character(len=*), intent(in) :: path, text_path, which
    character(len=8), parameter :: heads(10) = [character(len=8) :: 'SOLID', 'BEAM', 'SPRING', 'ROTATE', &
                                                 'WATER', 'WATERB', 'SHELL', 'RIGID', 'JOINT', 'VOID']
    integer, parameter :: slots(10) = [1, 2, 3, 4, 5, 6, 7, 8, 10, 9]
    character(len=6), parameter :: names(11) = [character(len=6) :: 'NDPT', 'NSOLEL', 'NBEAEL', 'NSPREL', &
                                                 'NROTEL', 'NWATEL', 'NWSIEL', 'NSTSEL', 'NRIGE', 'MDLM', 'NJOINT']
    character(len=8), parameter :: list_heads(5) = [character(len=8) :: 'BDFEML', 'BDFFL', 'BDFEMR', 'BDFFR', &
                                                     'BDBASE']
    integer :: u, t, ios, words(18), header(11), keyb(3), nb(3), lengths(5), k, at
    character(len=4) :: title(18)
    integer, allocatable :: lists(:), ndpts(:)
    real, allocatable :: xord(:), zord(:)

    open(newunit=u, file=trim(path), form='UNFORMATTED', access='SEQUENTIAL', status='OLD', action='READ', &
         convert=trim(args(3)), iostat=ios)
    if (ios /= 0) call fail('open')
    t = 0
    if (len_trim(text_path) > 0) open(newunit=t, file=trim(text_path), status='REPLACE', action='WRITE')
    write(*, '(A,A)') 'FILE ', which

    read(u, iostat=ios) words, header  ! ndpt and the ten counts
    if (ios /= 0) call fail('header record')
    title = transfer(words, title)
    write(*, '(A,18A)') 'TITLE ', title
    write(*, '(A,*(1X,I0))') 'COUNTS', header
    if (t /= 0) write(t, '(A8,18A4)') 'TITLE   ', title
    if (t /= 0) write(t, '(2X,A6," =",I8)') (names(k), header(k), k = 1, 11)

    read(u, iostat=ios) keyb, nb
    if (ios /= 0) call fail('boundary counts')
    backspace(u)
    lengths = max([nb(1), nb(1), nb(2), nb(2), nb(3)], 0)
    allocate(lists(sum(lengths)))
    read(u, iostat=ios) keyb, nb, lists
    if (ios /= 0) call fail('boundary record')
    write(*, '(A,*(1X,I0))') 'BOUND', keyb, nb
    write(*, '(A,*(1X,I0))') 'LIST', lists
    if (t /= 0) then
      write(t, '(A8,6I8)') 'BOUND   ', keyb, nb
      at = 0
      do k = 1, 5
        write(t, '(A8,11I8)') list_heads(k), nb((k + 1) / 2)
        write(t, '(8X,11I8)') lists(at + 1:at + lengths(k))
        at = at + lengths(k)
      end do
    end if

    allocate(ndpts(max(header(1), 0)), xord(max(header(1), 0)), zord(max(header(1), 0)))
    read(u, iostat=ios) ndpts, xord, zord
    if (ios /= 0) call fail('node record')
    write(*, '(A,1X,I0)') 'NODE', header(1)
    do k = 1, size(ndpts)
      write(*, '(A,*(1X,I0))') 'N', ndpts(k), transfer(xord(k), 0), transfer(zord(k), 0)
    end do
    if (t /= 0) write(t, '(A8,I8)') 'NODE    ', header(1)
    if (t /= 0) write(t, '(I8,2F16.4)') (ndpts(k), xord(k), zord(k), k = 1, size(ndpts))

    do k = 1, 10
      if (which == 'SH' .and. k /= 1 .and. k /= 3) cycle  ! the SH model: solids and springs
      if (header(1 + slots(k)) > 0) call element_record(u, t, heads(k), k == 1)
    end do

    read(u, iostat=ios) k
    if (ios < 0) then
      write(*, '(A)') 'END'
    else
      write(*, '(A)') 'REST'
    end if
    close(u)
    if (t /= 0) close(t)
  end subroutine

  subroutine element_record(u, t, head, solid)
    integer, intent(in) :: u, t
    character(len=8), intent(in) :: head
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
    if (t == 0) return
    write(t, '(A8,I8)') head, n
    write(t, '(5I8)') rows
    if (solid) write(t, '(1P,8E10.3)') den
  end subroutine

  subroutine fail(why)
    character(len=*), intent(in) :: why
    write(*, '(A,A)') 'FAIL ', why
    stop 1
  end subroutine

end program model_section_dump
