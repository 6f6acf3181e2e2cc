! Reference cost of formatted text in the Fortran runtime: writes N real
! values through (1P,6E15.5) to a file, a block of values per WRITE
! statement, as a conversion writes one data record after another.
!
! usage: e15_writer N FILE
program e15_writer
  implicit none
  integer, parameter :: block = 100000
  real(4) :: a(block), r
  integer(8) :: n, done, k
  integer :: i
  character(len=4096) :: arg, path

  call get_command_argument(1, arg)
  read (arg, *) n
  call get_command_argument(2, path)

  ! Values of both signs over thirteen decades, like response histories of
  ! accelerations, velocities and displacements side by side.
  do i = 1, block
    call random_number(r)
    a(i) = (2.0 * r - 1.0) * 10.0**(mod(i, 13) - 6)
  end do

  open (10, file=trim(path), form='formatted', status='replace', action='write')
  done = 0
  do while (done < n)
    k = min(int(block, 8), n - done)
    write (10, '(1P,6E15.5)') a(1:k)
    done = done + k
  end do
  close (10)
end program e15_writer
