! Writes error messages and raw records to a unit through the library, as a
! Fortran program of the family does.
program fortran_errors_program
  implicit none
  integer :: h, ierr, unit, level
  character(len=256) :: path
  character(len=20) :: prefix, code
  character(len=80) :: message

  call get_command_argument(1, path)
  unit = 17
  open (unit=unit, file=trim(path), status='replace', action='write')

  call zkerrf_new(h, ierr)
  call zkerrf_file(h, unit, ierr)
  message = 'no prefix yet'
  call zkerrf_throw(h, 4, message, ierr)
  prefix = 'ab'
  call zkerrf_prefix(h, prefix, ierr)
  message = '100%% sure'
  call zkerrf_throw(h, 5, message, ierr)
  message = 'kept %d as it stands'
  call zkerrf_throw(h, 5, message, ierr)
  prefix = ' '
  call zkerrf_prefix(h, prefix, ierr)
  message = 'blank prefix'
  call zkerrf_throw(h, 4, message, ierr)
  message = 'below the threshold'
  call zkerrf_throw(h, 3, message, ierr)
  call zkerrf_maxlevel(h, level, ierr)
  call zkerrf_return_code(level, code)
  call fprint_line(unit, '[' // code // ']', 22)
  call fprint_line(unit, 'cut here', 3)
  call fprint_line(unit, 'nothing', -3)
  call fskip_line(unit)
  call zkerrf_file(h, -1, ierr)
  message = 'silenced'
  call zkerrf_throw(h, 5, message, ierr)
  close (unit)
end program fortran_errors_program
