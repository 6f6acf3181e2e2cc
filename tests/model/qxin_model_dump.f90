! Reads a MODE1 input data file the way a Fortran model reader does: each
! line's first 8 columns are classified, a keyword line is read again
! (BACKSPACE) through its section's layout, "#" and "+" lines inside a
! counted section are passed over, node lists are read from the keyword line
! on through (8X,11I8), joint lines from the line's first 80 columns, and the
! solid densities are looked up in the material table at the end. Then it
! prints the whole model, reals as the integers of their bit patterns:
!   TITLE <72 characters> (or NOTITLE), NODE n and "N num x z" lines,
!   BOUND keys counts, one "LIST head values" line per boundary list,
!   MSOLID n and "M num density" lines, NELM slots, NJA, NJB, then per
!   element section "<keyword> n" and "E ..." rows, "DEN density" per solid.
! Input files must be complete; a failed read prints FAIL and stops.
program qxin_model_dump
  implicit none
  type elements
    integer :: n = 0
    integer, allocatable :: v(:, :)  ! six fields per row, as many used as the section has
  end type
  character(len=6), parameter :: kinds(10) = [character(len=6) :: 'SOLID', 'BEAM', 'SPRING', 'WATER', 'WATERB', &
                                                'SHELL', 'RIGID', 'JOINTA', 'JOINTB', 'VOID']
  integer, parameter :: widths(10) = [6, 3, 3, 5, 5, 5, 3, 5, 5, 5]
  integer, parameter :: slots(10) = [1, 2, 3, 5, 6, 7, 8, 10, 10, 9]
  character(len=1024) :: path
  character(len=80) :: line
  character(len=8) :: head
  character(len=4) :: words(18)
  logical :: have_title = .false.
  integer :: u, ios, iel, k, j, kind, ndpt = 0, mso = 0, nja = 0, njb = 0, nelm(10) = 0, keyb(3) = 0, nbound(3) = 0
  integer, allocatable :: ndpts(:), msolids(:), lcor(:, :), ncor(:, :), nbase(:)
  real, allocatable :: xord(:), zord(:), densm(:), den(:)
  type(elements) :: el(10)

  call get_command_argument(1, path)
  open(newunit=u, file=trim(path), status='OLD', action='READ', iostat=ios)
  if (ios /= 0) call fail('open')
  allocate(ndpts(0), xord(0), zord(0), msolids(0), densm(0), lcor(0, 2), ncor(0, 2), nbase(0))

  do
    read(u, '(A8)', iostat=ios) head
    if (ios < 0) exit
    if (ios > 0) call fail('line')
    select case (trim(head))
    case ('TITLE')
      backspace(u)
      read(u, '(A80)') line
      read(line, '(A8,18A4)') head, words
      have_title = .true.
    case ('NODE')
      ndpt = count_line()
      deallocate(ndpts, xord, zord)
      allocate(ndpts(max(ndpt, 0)), xord(max(ndpt, 0)), zord(max(ndpt, 0)))
      do k = 1, ndpt
        call to_data_line()
        read(u, '(I8,2F16.0)', iostat=ios) ndpts(k), xord(k), zord(k)
        if (ios /= 0) call fail('node line')
      end do
    case ('BOUND')
      backspace(u)
      read(u, '(A8,6I8)', iostat=ios) head, keyb, nbound
      if (ios /= 0) call fail('BOUND line')
      deallocate(lcor, ncor, nbase)
      allocate(lcor(max(nbound(1), 0), 2), ncor(max(nbound(2), 0), 2), nbase(max(nbound(3), 0)))
      lcor = 0
      ncor = 0
      nbase = 0
    case ('BDFEML')
      call node_list(lcor(:, 1))
    case ('BDFFL')
      call node_list(lcor(:, 2))
    case ('BDFEMR')
      call node_list(ncor(:, 1))
    case ('BDFFR')
      call node_list(ncor(:, 2))
    case ('BDBASE')
      call node_list(nbase)
    case ('MSOLID')
      mso = count_line()
      deallocate(msolids, densm)
      allocate(msolids(max(mso, 0)), densm(max(mso, 0)))
      do k = 1, mso
        call to_data_line()
        read(u, '(I8,16X,F16.0)', iostat=ios) msolids(k), densm(k)
        if (ios /= 0) call fail('material line')
      end do
    case ('SOLID', 'BEAM', 'SPRING', 'WATER', 'WATERB', 'SHELL', 'RIGID', 'JOINTA', 'JOINTB', 'VOID')
      kind = findloc(kinds, trim(head), 1)
      iel = count_line()
      el(kind)%n = iel
      if (kind == 8) nja = iel
      if (kind == 9) njb = iel
      nelm(slots(kind)) = merge(nelm(10) + iel, iel, slots(kind) == 10)  ! the joints are counted together
      if (allocated(el(kind)%v)) deallocate(el(kind)%v)
      allocate(el(kind)%v(6, max(iel, 0)))
      do k = 1, iel
        if (kind == 8 .or. kind == 9) then  ! the first 80 columns as a text
          do
            read(u, '(A80)', iostat=ios) line
            if (ios /= 0) call fail('joint line')
            if (line(1:1) /= '#' .and. line(1:1) /= '+') exit
          end do
          read(line, '(5I8)', iostat=ios) el(kind)%v(1:5, k)
        else
          call to_data_line()
          read(u, '(6I8)', iostat=ios) el(kind)%v(1:widths(kind), k)
        end if
        if (ios /= 0) call fail('element line')
      end do
    end select
  end do

  ! Densities: the first material entry with the solid's material number.
  allocate(den(max(el(1)%n, 0)))
  den = 0.0
  do k = 1, el(1)%n
    j = findloc(msolids, el(1)%v(6, k), 1)
    if (j > 0) den(k) = densm(j)
  end do

  if (have_title) write(*, '(A,18A)') 'TITLE ', words
  if (.not. have_title) write(*, '(A)') 'NOTITLE'
  write(*, '(A,1X,I0)') 'NODE', ndpt
  do k = 1, max(ndpt, 0)
    write(*, '(A,*(1X,I0))') 'N', ndpts(k), transfer(xord(k), 0), transfer(zord(k), 0)
  end do
  write(*, '(A,*(1X,I0))') 'BOUND', keyb, nbound
  write(*, '(A,*(1X,I0))') 'LIST BDFEML', lcor(:, 1)
  write(*, '(A,*(1X,I0))') 'LIST BDFFL', lcor(:, 2)
  write(*, '(A,*(1X,I0))') 'LIST BDFEMR', ncor(:, 1)
  write(*, '(A,*(1X,I0))') 'LIST BDFFR', ncor(:, 2)
  write(*, '(A,*(1X,I0))') 'LIST BDBASE', nbase
  write(*, '(A,1X,I0)') 'MSOLID', mso
  do k = 1, max(mso, 0)
    write(*, '(A,*(1X,I0))') 'M', msolids(k), transfer(densm(k), 0)
  end do
  write(*, '(A,*(1X,I0))') 'NELM', nelm
  write(*, '(A,1X,I0,1X,A,1X,I0)') 'NJA', nja, 'NJB', njb
  do kind = 1, 10
    write(*, '(A,1X,I0)') trim(kinds(kind)), el(kind)%n
    do k = 1, max(el(kind)%n, 0)
      write(*, '(A,*(1X,I0))') 'E', el(kind)%v(1:widths(kind), k)
    end do
  end do
  do k = 1, size(den)
    write(*, '(A,1X,I0)') 'DEN', transfer(den(k), 0)
  end do

contains

  subroutine fail(why)
    character(len=*), intent(in) :: why
    write(*, '(A,A)') 'FAIL ', why
    stop 1
  end subroutine

  ! The keyword line again, through (A8,I8): its count.
  integer function count_line()
    integer :: st
    backspace(u)
    read(u, '(A8,I8)', iostat=st) head, count_line
    if (st /= 0) call fail('count')
  end function

  ! Passes over "#" and "+" lines and leaves the next data line to be read.
  subroutine to_data_line()
    character(len=1) :: first
    integer :: st
    do
      read(u, '(A1)', iostat=st) first
      if (st /= 0) call fail('section cut short')
      if (first /= '#' .and. first /= '+') exit
    end do
    backspace(u)
  end subroutine

  subroutine node_list(list)
    integer, intent(out) :: list(:)
    integer :: st
    backspace(u)
    read(u, '(8X,11I8)', iostat=st) list
    if (st /= 0) call fail('node list')
  end subroutine

end program qxin_model_dump
