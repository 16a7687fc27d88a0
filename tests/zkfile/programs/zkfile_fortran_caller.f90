! A Fortran caller of the file twins. It runs in a prepared working folder
! and writes one record per result to standard output; the library's
! messages go to standard error.
program zkfile_fortran_caller
  implicit none
  character(len=20) :: cname
  character(len=40) :: cpath
  character(len=80) :: fpath
  character(len=4096) :: expanded
  character(len=12) :: guarded
  character(len=5000) :: huge
  integer :: ierr, itype, lvl

  ! Lookups report at INFO: let those messages through too.
  lvl = 3
  call zkerrf_level(-1, lvl, ierr)

  call zkfilef_initialize(7, ierr)
  write (*, '(A,I0)') 'initialize ', ierr

  cpath = '.'
  call zkfilef_path_set(cpath, ierr)
  write (*, '(A,I0)') 'set ', ierr
  fpath = repeat('#', 80)
  call zkfilef_path_get(fpath, ierr)
  write (*, '(A,I0,A,A,A)') 'get ', ierr, ' [', fpath, ']'

  ! Output arguments too short: the first characters only, nothing beyond.
  guarded = repeat('#', 12)
  cpath = 'sub'
  call zkfilef_path_add(cpath, ierr)
  call zkfilef_path_get(guarded(1:3), ierr)
  write (*, '(A,I0,A,A,A)') 'get short ', ierr, ' [', guarded, ']'

  ! A name padded with blanks is looked up without them.
  cname = 'data.txt'
  itype = 0
  fpath = 'untouched'
  call zkfilef_find(cname, itype, fpath, ierr)
  write (*, '(A,I0,A,A,A)') 'find ', ierr, ' [', trim(fpath), ']'
  guarded = repeat('#', 12)
  call zkfilef_find(cname, itype, guarded(1:4), ierr)
  write (*, '(A,I0,A,A,A)') 'find short ', ierr, ' [', guarded, ']'
  cname = 'only.txt'
  call zkfilef_find(cname, itype, fpath, ierr)
  write (*, '(A,I0,A,A,A)') 'find sub ', ierr, ' [', trim(fpath), ']'

  ! A path not found leaves fpath as it was.
  cname = 'missing.txt'
  fpath = 'untouched'
  call zkfilef_find(cname, itype, fpath, ierr)
  write (*, '(A,I0,A,A,A)') 'find missing ', ierr, ' [', trim(fpath), ']'

  cname = 'data.txt'
  call zkfilef_exists(cname, itype, ierr)
  write (*, '(A,I0)') 'exists ', ierr
  cname = 'missing.txt'
  call zkfilef_exists(cname, itype, ierr)
  write (*, '(A,I0)') 'exists missing ', ierr

  cname = '/abs/olute'
  call zkfilef_path_is_absolute(cname, ierr)
  write (*, '(A,I0)') 'absolute ', ierr
  cname = 'rel/ative'
  call zkfilef_path_is_absolute(cname, ierr)
  write (*, '(A,I0)') 'relative ', ierr

  cpath = 'a\b\c'
  call zkfilef_path_localize(cpath, ierr)
  write (*, '(A,I0,A,A,A)') 'localize ', ierr, ' [', trim(cpath), ']'
  cpath = ' '
  call zkfilef_path_localize(cpath, ierr)
  write (*, '(A,I0)') 'localize blank ', ierr

  ! The home directory is the test's scratch folder, as long as the build
  ! folder's path makes it: the expansion gets room for a whole path.
  cname = '~/x'
  expanded = 'untouched'
  call zkfilef_dir_expand(cname, expanded, ierr)
  write (*, '(A,I0,A,A,A)') 'expand ', ierr, ' [', trim(expanded), ']'

  cname = '~nosuchuserzz/x'
  expanded = 'untouched'
  call zkfilef_dir_expand(cname, expanded, ierr)
  write (*, '(A,I0,A,A,A)') 'expand bad user ', ierr, ' [', trim(expanded), ']'

  ! Longer than the path limit: refused, the argument left as it was.
  huge = repeat('\', 4500)
  call zkfilef_path_localize(huge, ierr)
  write (*, '(A,I0,A,I0)') 'localize huge ', ierr, ' ', verify(trim(huge), '\')

  cname = 'data.txt'
  call zkfilef_dos_to_unix(cname, ierr)
  write (*, '(A,I0)') 'dos ', ierr
  call zkfilef_dos_to_unix_register(cname, ierr)
  write (*, '(A,I0)') 'register ', ierr
  call zkfilef_dos_to_unix_convert(ierr)
  write (*, '(A,I0)') 'convert ', ierr

  call zkfilef_path_clear(ierr)
  write (*, '(A,I0)') 'clear ', ierr
  guarded = repeat('#', 12)
  call zkfilef_path_get(guarded, ierr)
  write (*, '(A,I0,A,A,A)') 'get empty ', ierr, ' [', guarded, ']'
  call zkfilef_path_add_cwd(ierr)
  write (*, '(A,I0)') 'add cwd ', ierr
  call zkfilef_path_add_home(ierr)
  write (*, '(A,I0)') 'add home ', ierr
  call zkfilef_terminate()
end program zkfile_fortran_caller
