! A gfortran program calling the library: a handler of its own writing to
! standard output (unit 6), a message, and a path expanded by the library.
! Arguments the library writes (handles, statuses, results) are variables.
program fortran_example
  implicit none
  integer :: handle, ierr, level, unit
  character(len=80) :: message
  character(len=256) :: expanded

  call zkerrf_new(handle, ierr)
  unit = 6
  call zkerrf_file(handle, unit, ierr)
  level = 4
  message = 'hello from Fortran'
  call zkerrf_throw(handle, level, message, ierr)
  if (ierr /= 1) stop 1

  ! Character arguments carry hidden lengths that gfortran adds itself.
  call zkfilef_dir_expand('$HOME/data', expanded, ierr)
  if (ierr /= 0) stop 2
  write (*, '(A)') 'expanded: ' // trim(expanded)
  call zkerrf_delete(handle)
end program fortran_example
