! Reference for the TP19 conversion of well-formed files, written from the
! file descriptions alone: reads a TP19 file and writes the result blocks of
! the SV and SH files (BASE.sv, BASE.sh, without the model section), their
! text twins (BASE.svt, BASE.sht) and the list file lines (BASE.lst).
!
! Arguments: TP19 file, output base, byte order of the binary outputs
! (LITTLE_ENDIAN or BIG_ENDIAN), wave switch (0 or 1), sum of the run options.
! Exit status 2 to 4 when the file is not well formed.
program tp19_reference
  implicit none
  character(len=*), parameter :: fmt1s = '(a4,6i8,1PE15.5,i8)', fmt2s = '(I8,1P5E15.5)'
  character(len=1024) :: path, base, arg
  character(len=16) :: order
  character(len=4) :: name
  integer :: nc(6), lrec, nsize2, ios, wave, optsum, nwave, nblock, ob, ot, code
  integer :: route(41:54, 6)
  real(8) :: dmp, dt
  real(4) :: yt(4), dtt
  real(4), allocatable :: a(:)

  ! Code of the converted block by (nc1, nc2): positive to SV, negative to
  ! SH, zero passed over.
  route = 0
  route(41, :) = [1, 0, 2, -1, -2, 3]
  route(42, :) = [0, 13, 14, 11, 12, -22]
  route(43, :) = [21, -22, 22, 0, 31, 0]
  route(44, :) = [0, 0, 0, 0, 0, 41]
  route(45, :) = [1, 0, 2, 0, 0, 3]
  route(46, :) = [0, 0, 51, 0, 52, 0]
  route(47, :) = [0, 0, 51, 0, 52, 0]
  route(51, :) = [4, 0, 5, -4, -5, 6]
  route(52, :) = [4, 0, 5, 0, 0, 6]
  route(53, :) = [0, 0, 53, 0, 54, 0]
  route(54, :) = [0, 0, 53, 0, 54, 0]

  call get_command_argument(1, path)
  call get_command_argument(2, base)
  call get_command_argument(3, order)
  call get_command_argument(4, arg)
  read(arg, *) wave
  call get_command_argument(5, arg)
  read(arg, *) optsum

  open(19, file=trim(path), form='unformatted', access='sequential', convert='little_endian', &
       status='old', action='read')
  open(21, file=trim(base)//'.sv', form='unformatted', access='sequential', convert=trim(order), &
       status='replace')
  open(23, file=trim(base)//'.sh', form='unformatted', access='sequential', convert=trim(order), &
       status='replace')
  open(27, file=trim(base)//'.svt', form='formatted', status='replace')
  open(29, file=trim(base)//'.sht', form='formatted', status='replace')
  open(7, file=trim(base)//'.lst', form='formatted', status='replace')

  write(7, '(/,/,/,A,/)') 'START (CONVERT TP19)'
  allocate(a(0))
  nwave = 0
  nblock = 0
  do
    read(19, iostat=ios) name, nc, dmp, lrec
    if (ios < 0) exit
    if (ios /= 0) stop 2
    nblock = nblock + 1
    read(19, iostat=ios) nsize2, dt, yt
    if (ios /= 0) stop 3

    if (nblock == 1 .and. name /= 'INFO') &
      call info_block('INFO', [6, 0, 3, 0, 0, 1], 9.8_4, 1, 0, [0.0_4, 0.0_4, 0.0_4, 0.0_4])
    if (name == 'INFO') then
      call info_block(name, nc, narrow(dmp), lrec, nsize2, yt)
      cycle
    end if

    write(7, '(A4,6I8,1P,E15.5,I8)') name, nc, dmp, lrec
    write(7, '(I8,1P,5E15.5,I8)') nsize2, dt, yt
    if (name == 'AMPL') then
      read(19)
      read(19)
      cycle
    end if
    code = 0
    if (nc(1) >= 41 .and. nc(1) <= 54 .and. nc(2) >= 1 .and. nc(2) <= 6) code = route(nc(1), nc(2))
    if (code == 0) then
      read(19)
      cycle
    end if
    if (code > 0) then
      ob = 21
      ot = 27
    else
      ob = 23
      ot = 29
      code = -code
    end if

    dtt = 0.0
    if (name == 'WAVE') dtt = narrow(dt)
    write(ob) name, 41, 0, 0, nc(4), nc(5), code, narrow(dmp), lrec
    write(ob) nsize2, dtt, yt
    if (name == 'WAVE' .and. nwave == 0) then
      nwave = nsize2
      deallocate(a)
      allocate(a(max(nsize2, 0)))
    end if
    read(19, iostat=ios) a
    if (ios /= 0) stop 4
    write(ob) a
    if (wave == 1) then
      write(ot, fmt1s) name, 41, 0, 0, nc(4), nc(5), code, dmp, lrec
      write(ot, fmt2s) nsize2, dt, yt
      write(ot, '(1P,6E15.5)') a
    end if
  end do
  close(19)
  close(23)
  close(29)
  close(21)
  close(27)
  write(7, '(/,A)') 'END (CONVERT TP19)'
  close(7)

contains

  ! An information block to both files and, under any option, both twins.
  subroutine info_block(nm, codes, dap, lr, ns, y)
    character(len=4), intent(in) :: nm
    integer, intent(in) :: codes(6), lr, ns
    real(4), intent(in) :: dap, y(4)
    write(21) nm, codes, dap, lr
    write(21) ns, 0.0_4, y
    write(23) nm, codes, dap, lr
    write(23) ns, 0.0_4, y
    if (optsum > 0) then
      write(27, fmt1s) nm, codes, dap, lr
      write(27, fmt2s) ns, 0.0_4, y
      write(29, fmt1s) nm, codes, dap, lr
      write(29, fmt2s) ns, 0.0_4, y
    end if
  end subroutine

  ! Single precision, with results below the normal range as signed zeros.
  real(4) function narrow(x)
    real(8), intent(in) :: x
    narrow = real(x, 4)
    if (narrow /= 0.0_4 .and. abs(narrow) < tiny(narrow)) narrow = sign(0.0_4, narrow)
  end function

end program
