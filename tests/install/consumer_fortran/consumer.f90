! A gfortran program built against the installed package: an error handler,
! a token list of NUL-terminated texts and the glob match without underscore.
program consumer_fortran
  use iso_c_binding
  implicit none
  interface
    function zktokenf_regex_index(handle, string) bind(C, name='zktokenf_regex_index')
      import :: c_int, c_char
      integer(c_int) :: handle
      character(kind=c_char), dimension(*) :: string
      integer(c_int) :: zktokenf_regex_index
    end function
  end interface
  integer, external :: zktokenf_new, zktokenf_num, zktokenf_delete, zktokenf_regex_compile
  external :: zkerrf_new, zkerrf_delete, zktokenf_get_token
  character(len=*), parameter :: z = c_null_char
  character(len=16) :: token
  integer :: handle, ierr, list

  call zkerrf_new(handle, ierr)
  if (ierr /= 1) stop 1
  call zkerrf_delete(handle)

  if (zktokenf_new(list, 'a.txt b.dat' // z, ' ' // z, z, z, z, z) /= 0) stop 2
  call zktokenf_get_token(list, 1, token)
  if (zktokenf_regex_compile(list) /= 0) stop 3
  write (*, '(A,1X,I0,1X,A,1X,I0)') 'fortran', zktokenf_num(list), trim(token), &
      zktokenf_regex_index(list, 'b.dat' // z)
  if (zktokenf_delete(list) /= 0) stop 4
end program
