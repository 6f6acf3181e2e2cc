! Reads a MODE1 input data file through the fixed-column layouts of its
! sections, as a Fortran model reader does: keyword lines (A8,I8), nodes
! (I8,2F16.0), boundary node lists (8X,11I8) continued over lines, materials
! (I8,16X,F16.0), solids (6I8), other elements (5I8). Lines starting with "#"
! or "+" inside a counted section do not count; lines outside the known
! sections are passed over. Prints:
!   S keyword count            for each section met
!   L keyword count first last for each boundary node list
!   P passed  C comments  R bad node references  M solids without material
!   D duplicated material numbers  END
! and on a fault "FAIL" with a reason, exit 1.
program read_qxin
  implicit none
  integer, parameter :: maxnode = 10000000
  character(len=1024) :: path
  character(len=512) :: line
  character(len=8) :: head
  logical(1), allocatable :: known(:)
  integer, allocatable :: lst(:), msol(:), solmat(:)
  integer :: u, ios, n, k, j, iv(6), keys(3), nb(3), lineno
  integer :: passed, comments, badref, missing, dups, nsolid, nmat
  real(8) :: x, z, dens

  call get_command_argument(1, path)
  open(newunit=u, file=trim(path), form='FORMATTED', access='SEQUENTIAL', status='OLD', action='READ', iostat=ios)
  if (ios /= 0) call fail('cannot open the file')
  allocate(known(0:maxnode))
  known = .false.
  nb = 0
  passed = 0
  comments = 0
  badref = 0
  nsolid = 0
  nmat = 0
  lineno = 0
  allocate(msol(0), solmat(0))

  do
    read(u, '(A)', iostat=ios) line
    if (ios < 0) exit
    if (ios /= 0) call fail('unreadable line')
    lineno = lineno + 1
    head = line(1:8)
    select case (trim(head))
    case ('TITLE')
      print '(A,A)', 'S TITLE ', trim(line(9:80))
    case ('NODE')
      n = count_of(line)
      do k = 1, n
        call data_line()
        read(line, '(I8,2F16.0)', iostat=ios) j, x, z
        if (ios /= 0) call fail('node line')
        if (j < 1 .or. j > maxnode) call fail('node number out of range')
        if (known(j)) call fail('node defined twice')
        known(j) = .true.
      end do
      print '(A,I10)', 'S NODE', n
    case ('BOUND')
      read(line, '(A8,6I8)', iostat=ios) head, keys, nb
      if (ios /= 0) call fail('BOUND line')
      print '(A,6I10)', 'S BOUND', keys, nb
    case ('BDFEML', 'BDFFL')
      call node_list(nb(1))
    case ('BDFEMR', 'BDFFR')
      call node_list(nb(2))
    case ('BDBASE')
      call node_list(nb(3))
    case ('MSOLID')
      n = count_of(line)
      deallocate(msol)
      allocate(msol(n))
      nmat = n
      do k = 1, n
        call data_line()
        read(line, '(I8,16X,F16.0)', iostat=ios) msol(k), dens
        if (ios /= 0) call fail('material line')
      end do
      print '(A,I10)', 'S MSOLID', n
    case ('SOLID')
      n = count_of(line)
      deallocate(solmat)
      allocate(solmat(n))
      nsolid = n
      do k = 1, n
        call data_line()
        read(line, '(6I8)', iostat=ios) iv(1:6)
        if (ios /= 0) call fail('solid line')
        call check_nodes(iv(2:5))
        solmat(k) = iv(6)
      end do
      print '(A,I10)', 'S SOLID', n
    case ('BEAM', 'SPRING', 'RIGID')
      n = count_of(line)
      do k = 1, n
        call data_line()
        read(line, '(5I8)', iostat=ios) iv(1:5)
        if (ios /= 0) call fail('two-node element line')
        call check_nodes(iv(2:3))
      end do
      print '(A,A,I10)', 'S ', trim(head), n
    case ('WATER', 'WATERB', 'SHELL', 'VOID', 'JOINTA', 'JOINTB')
      n = count_of(line)
      do k = 1, n
        call data_line()
        read(line(1:80), '(5I8)', iostat=ios) iv(1:5)
        if (ios /= 0) call fail('four-node element line')
        call check_nodes(iv(2:5))
      end do
      print '(A,A,I10)', 'S ', trim(head), n
    case default
      passed = passed + 1
    end select
  end do

  missing = 0
  do k = 1, nsolid
    if (.not. any(msol(1:nmat) == solmat(k))) missing = missing + 1
  end do
  dups = 0
  do k = 2, nmat
    if (any(msol(1:k-1) == msol(k))) dups = dups + 1
  end do
  print '(A,I10)', 'P', passed
  print '(A,I10)', 'C', comments
  print '(A,I10)', 'R', badref
  print '(A,I10)', 'M', missing
  print '(A,I10)', 'D', dups
  print '(A)', 'END'

contains

  subroutine fail(why)
    character(len=*), intent(in) :: why
    print '(A,A,A,I8)', 'FAIL ', why, ' near line', lineno
    stop 1
  end subroutine

  integer function count_of(keyword_line)
    character(len=*), intent(in) :: keyword_line
    character(len=8) :: h
    integer :: st
    read(keyword_line, '(A8,I8)', iostat=st) h, count_of
    if (st /= 0) call fail('section count')
  end function

  ! The next data line of a counted section, passing over "#" and "+" lines.
  subroutine data_line()
    integer :: st
    do
      read(u, '(A)', iostat=st) line
      if (st /= 0) call fail('section cut short')
      lineno = lineno + 1
      if (line(1:1) /= '#' .and. line(1:1) /= '+') return
      comments = comments + 1
    end do
  end subroutine

  ! A boundary node list: from column 9 of the keyword line on, eleven to a
  ! line, read again from the keyword line through (8X,11I8).
  subroutine node_list(length)
    integer, intent(in) :: length
    integer :: st, m
    m = max(length, 0)
    backspace(u)
    if (allocated(lst)) deallocate(lst)
    allocate(lst(m))
    read(u, '(8X,11I8)', iostat=st) lst
    if (st /= 0) call fail('node list')
    lineno = lineno + max(1, (m + 10) / 11) - 1
    call check_nodes(lst)
    if (m > 0) then
      print '(A,A,3I10)', 'L ', trim(head), m, lst(1), lst(m)
    else
      print '(A,A,3I10)', 'L ', trim(head), 0, 0, 0
    end if
  end subroutine

  subroutine check_nodes(nodes)
    integer, intent(in) :: nodes(:)
    integer :: i
    do i = 1, size(nodes)
      if (nodes(i) < 1 .or. nodes(i) > maxnode) then
        badref = badref + 1
      else if (.not. known(nodes(i))) then
        badref = badref + 1
      end if
    end do
  end subroutine

end program read_qxin
