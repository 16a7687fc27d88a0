! A Fortran caller of the error twins and record writers. It writes every
! result as a record to the file named by its first argument; the handler
! it makes writes its messages to that same unit.
program zkerr_fortran_caller
  implicit none
  character(len=1024) :: path
  character(len=20) :: prefix, code
  character(len=80) :: msg
  integer :: h, h2, ierr, lvl, bad, unit
  integer, parameter :: out = 21

  call get_command_argument(1, path)
  open (unit=out, file=trim(path), status='replace', action='write')

  ! Record writers.
  call fprint_line(out, 'abcdef', 3)
  call fprint_line(out, 'abcdef', -3)
  call fskip_line(out)
  write (out, '(A)') '--'

  ! A handler of its own on this unit.
  call zkerrf_new(h, ierr)
  write (out, '(A,I0,A,I0)') 'new ', h, ' ', ierr
  unit = out
  call zkerrf_file(h, unit, ierr)
  write (out, '(A,I0)') 'file ', ierr
  msg = 'plain'
  call zkerrf_throw(h, 4, msg, ierr)
  write (out, '(A,I0)') 'throw ', ierr
  msg = 'rate 100%% done'
  call zkerrf_throw(h, 4, msg, ierr)
  msg = 'left %d %s as is %%'
  call zkerrf_throw(h, 4, msg, ierr)
  msg = 'dropped'
  call zkerrf_throw(h, 3, msg, ierr)
  write (out, '(A,I0)') 'dropped ', ierr

  ! Prefixes.
  prefix = 'AB'
  call zkerrf_prefix(h, prefix, ierr)
  write (out, '(A,I0)') 'prefix ', ierr
  msg = 'with prefix'
  call zkerrf_throw(h, 5, msg, ierr)
  prefix = 'ABCDEFGHIJKLMNOPQRSX'
  call zkerrf_prefix(h, prefix, ierr)
  write (out, '(A,I0,A,I0)') 'prefix19 ', ierr, ' nul20 ', ichar(prefix(20:20))
  call zkerrf_throw(h, 4, msg, ierr)
  prefix = ' '
  call zkerrf_prefix(h, prefix, ierr)
  write (out, '(A,I0)') 'blank prefix ', ierr
  call zkerrf_throw(h, 4, msg, ierr)
  ! Constants: read up to their own length, never written to.
  call zkerrf_prefix(h, 'CO ', ierr)
  call zkerrf_throw(h, 4, 'a short constant', ierr)
  write (out, '(A,I0)') 'constants ', ierr
  call zkerrf_prefix(h, 'a prefix constant longer than twenty', ierr)
  call zkerrf_throw(h, 4, 'long 100%% ' // repeat('c', 90), ierr)
  call zkerrf_prefix(h, ' ', ierr)

  ! Levels.
  call zkerrf_maxlevel(h, lvl, ierr)
  write (out, '(A,I0,A,I0)') 'maxlevel ', lvl, ' ', ierr
  call zkerrf_level(h, 2, ierr)
  call zkerrf_get_level(h, lvl, ierr)
  write (out, '(A,I0,A,I0)') 'level ', lvl, ' ', ierr
  bad = 99
  lvl = -7
  call zkerrf_get_level(bad, lvl, ierr)
  write (out, '(A,I0,A,I0)') 'bad handle ', lvl, ' ', ierr
  call zkerrf_throw(bad, 4, msg, ierr)
  write (out, '(A,I0)') 'bad throw ', ierr

  ! Level texts.
  call zkerrf_return_code(4, code)
  write (out, '(A)') '[' // code // ']'
  call zkerrf_return_code(8, code)
  write (out, '(A)') '[' // code // ']'
  call zkerrf_return_code(7, code)
  write (out, '(A)') '[' // code // ']'

  ! A negative unit silences the handler.
  unit = -1
  call zkerrf_file(h, unit, ierr)
  write (out, '(A,I0)') 'silenced ', ierr
  msg = 'not written'
  call zkerrf_throw(h, 5, msg, ierr)

  ! Handles are reused after a delete.
  call zkerrf_new(h2, ierr)
  call zkerrf_delete(h)
  call zkerrf_new(h, ierr)
  write (out, '(A,I0,A,I0)') 'reuse ', h, ' ', h2

  ! Unit 6 is standard output; the default handler writes to stderr, where
  ! the stream route adds a newline after the message.
  unit = 6
  call zkerrf_file(h, unit, ierr)
  msg = 'to unit six'
  call zkerrf_throw(h, 4, msg, ierr)
  bad = -1
  msg = repeat('x', 78) // 'YZ'
  call zkerrf_throw(bad, 4, msg, ierr)
  msg = 'short'
  call zkerrf_throw(bad, 4, msg, ierr)
  close (out)
end program zkerr_fortran_caller
