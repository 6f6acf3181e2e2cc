! Reads a TP18 or TP19 result file as a Fortran program does: sequential,
! unformatted, little-endian, block by block by the block rules. Checks that
! every record has exactly the length its counts give, that lrec counts the
! records after the first header record, and that the end of the file comes
! at a block boundary. Prints one line per block:
!   B name nc1 nc2 nc3 nsize2 records flag     (flag K converted, D passed over)
!   M code nc2 na nd
! then "END" and the number of blocks; on a fault "FAIL" and a reason, exit 1.
program read_results
  implicit none
  character(len=1024) :: path
  character(len=8) :: which
  character(len=4) :: name
  integer :: u, ios, nblocks, nc(6), lrec, nsize2, ndata, k, na, nd
  integer :: n_four, n_spec, n_wave19, need
  real(8) :: dmp, dt
  real(4) :: yt(4)
  real(4), allocatable :: a(:)
  logical :: converted

  call get_command_argument(1, path)
  call get_command_argument(2, which)
  open(newunit=u, file=trim(path), access='SEQUENTIAL', form='UNFORMATTED', convert='LITTLE_ENDIAN', &
       status='OLD', action='READ', iostat=ios)
  if (ios /= 0) call fail('cannot open the file')

  nblocks = 0
  n_four = 0
  n_spec = 0
  n_wave19 = 0
  do
    ! The first four items of a block's first record.
    read(u, iostat=ios) name, nc(1), nc(2), lrec
    if (ios < 0) exit
    if (ios /= 0) call fail('first record of a block is unreadable')
    nblocks = nblocks + 1

    if (which == 'TP18' .and. name == 'MAXR') then
      if (lrec /= 1) call fail('maxima block with lrec other than 1')
      nd = components(nc(1))
      if (nd == 0) call fail('maxima code without a component count')
      read(u, iostat=ios) na
      if (ios /= 0) call fail('maxima data record is unreadable')
      if (na < 0 .or. na > 10000000) call fail('implausible na')
      backspace(u)
      call expect_length(u, 4_8 + 8_8 * na + 8_8 * nd * na)
      read(u, iostat=ios)
      print '(A,4I10)', 'M', nc(1), nc(2), na, nd
      cycle
    end if

    backspace(u)
    call expect_length(u, 40_8)
    read(u, iostat=ios) name, nc, dmp, lrec
    if (ios /= 0) call fail('REC1 is unreadable')
    call expect_length(u, 28_8)
    read(u, iostat=ios) nsize2, dt, yt
    if (ios /= 0) call fail('REC2 is unreadable')
    if (nsize2 < 0 .or. nsize2 > 100000000) call fail('implausible nsize2')

    if (which == 'TP18') then
      call tp18_rules(name, nc, nsize2, ndata, converted)
    else
      call tp19_rules(name, nc, nsize2, ndata, converted)
    end if
    if (lrec /= 1 + ndata) call fail('lrec does not count the records of the block')

    do k = 1, ndata
      call expect_length(u, 4_8 * nsize2)
      if (allocated(a)) deallocate(a)
      allocate(a(nsize2))
      read(u, iostat=ios) a
      if (ios /= 0) call fail('data record is unreadable')
    end do
    if (converted) then
      print '(A,1X,A4,4I11,I3,A)', 'B', name, nc(1:3), nsize2, ndata, ' K'
    else
      print '(A,1X,A4,4I11,I3,A)', 'B', name, nc(1:3), nsize2, ndata, ' D'
    end if
  end do
  print '(A,I10)', 'END', nblocks

contains

  subroutine fail(why)
    character(len=*), intent(in) :: why
    print '(A,A,A,I10)', 'FAIL ', why, ' in block', nblocks
    stop 1
  end subroutine

  ! The next record holds exactly n bytes: reading n + 1 fails, reading n
  ! does not. The file is left at the start of that record.
  subroutine expect_length(unit, n)
    integer, intent(in) :: unit
    integer(8), intent(in) :: n
    integer(1), allocatable :: bytes(:)
    integer :: st
    if (n > 800000000_8) call fail('record too long to check')
    allocate(bytes(n + 1))
    read(unit, iostat=st) bytes
    if (st == 0) call fail('record longer than its counts say')
    if (st < 0) call fail('end of file inside a block')
    backspace(unit)
    read(unit, iostat=st) bytes(1:n)
    if (st /= 0) call fail('record shorter than its counts say')
    backspace(unit)
  end subroutine

  integer function components(code)
    integer, intent(in) :: code
    select case (code)
    case (:103)
      components = 6
    case (104, 110)
      components = 3
    case (105, 108)
      components = 9
    case (106)
      components = 5
    case (107, 111, 112)
      components = 4
    case (109)
      components = 1
    case (113)
      components = 2
    case default
      components = 0
    end select
  end function

  ! TP18: blocks dropped by their codes, then records by kind word. Spectra
  ! share the length of the first one kept and are never shorter.
  subroutine tp18_rules(name, nc, nsize2, ndata, converted)
    character(len=4), intent(in) :: name
    integer, intent(in) :: nc(6), nsize2
    integer, intent(out) :: ndata
    logical, intent(out) :: converted
    converted = .false.
    if (nc(1) == 13 .or. nc(1) > 33) then
      ndata = 2
    else if (nc(2) == 5) then
      ndata = 1
      if (nc(1) > 10) ndata = 2
    else if (name == 'AMPL' .and. ((nc(2) == 2 .and. (nc(3) == 1 .or. nc(3) == 3)) .or. &
             (nc(2) /= 2 .and. nc(3) == 2 .and. (nc(2) == 1 .or. nc(2) == 3)))) then
      ndata = 2
    else
      converted = .true.
      select case (name)
      case ('WAVE')
        ndata = 1
      case ('FOUR', 'AMPL')
        ndata = 2
        if (n_four == 0) n_four = nsize2
        if (nsize2 < n_four) call fail('spectrum shorter than the first one')
      case ('SPEC')
        ndata = 2
        if (n_spec == 0) n_spec = nsize2
        if (nsize2 < n_spec) call fail('response spectrum shorter than the first one')
      case default
        ndata = 0
      end select
    end if
  end subroutine

  ! TP19: INFO has no data, AMPL two records, every other kind one; blocks
  ! are converted by the pair (nc1, nc2), and none converted after the first
  ! converted WAVE block is shorter than it.
  subroutine tp19_rules(name, nc, nsize2, ndata, converted)
    character(len=4), intent(in) :: name
    integer, intent(in) :: nc(6), nsize2
    integer, intent(out) :: ndata
    logical, intent(out) :: converted
    converted = .false.
    if (name == 'INFO') then
      ndata = 0
      converted = .true.
      return
    end if
    if (name == 'AMPL') then
      ndata = 2
      return
    end if
    ndata = 1
    converted = in_tp19_table(nc(1), nc(2))
    if (.not. converted) return
    if (name == 'WAVE' .and. n_wave19 == 0) n_wave19 = nsize2
    if (n_wave19 > 0 .and. nsize2 < n_wave19) call fail('converted block shorter than the first WAVE')
  end subroutine

  logical function in_tp19_table(nc1, nc2)
    integer, intent(in) :: nc1, nc2
    character(len=6) :: row
    in_tp19_table = .false.
    if (nc2 < 1 .or. nc2 > 6) return
    select case (nc1)
    case (41, 51)
      row = 'x.xxxx'
    case (42)
      row = '.xxxxx'
    case (43)
      row = 'xxx.x.'
    case (44)
      row = '.....x'
    case (45, 52)
      row = 'x.x..x'
    case (46, 47, 53, 54)
      row = '..x.x.'
    case default
      return
    end select
    in_tp19_table = row(nc2:nc2) == 'x'
  end function

end program read_results
