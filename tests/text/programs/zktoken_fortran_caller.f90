! A Fortran caller of the token-list twins: every result goes to standard
! output as one line; every string it passes ends with a NUL character.
program zktoken_fortran_caller
  use iso_c_binding
  implicit none
  interface
    ! The glob match is the one twin without a trailing underscore.
    function zktokenf_regex_index(handle, string) bind(C, name='zktokenf_regex_index')
      import :: c_int, c_char
      integer(c_int) :: handle
      character(kind=c_char), dimension(*) :: string
      integer(c_int) :: zktokenf_regex_index
    end function
    function zktokenf_get_string(handle) bind(C, name='zktokenf_get_string_')
      import :: c_int, c_ptr
      integer(c_int) :: handle
      type(c_ptr) :: zktokenf_get_string
    end function
    function c_strlen(s) bind(C, name='strlen')
      import :: c_ptr, c_size_t
      type(c_ptr), value :: s
      integer(c_size_t) :: c_strlen
    end function
    subroutine c_free(p) bind(C, name='free')
      import :: c_ptr
      type(c_ptr), value :: p
    end subroutine
  end interface
  integer, external :: zktokenf_initialize, zktokenf_new, zktokenf_delete, zktokenf_delete_token, &
                       zktokenf_clear, zktokenf_copy, zktokenf_merge, zktokenf_copyn, zktokenf_mergen, &
                       zktokenf_add, zktokenf_addn, zktokenf_replace, zktokenf_num, zktokenf_find_type, &
                       zktokenf_get_int, zktokenf_get_double, zktokenf_regex_compile, zktokenf_index, &
                       zktokenf_indexn
  external :: zktokenf_terminate, zktokenf_get_token, zktokenf_toupper, zktokenf_tolower_token
  character(len=*), parameter :: z = c_null_char
  character(len=255) :: buf
  character(len=300) :: big
  character(len=10) :: whole
  integer :: h, h2, h3, hp, r, ival, bad
  double precision :: dval
  type(c_ptr) :: joined

  write (*, '(A,I0)') 'initialize ', zktokenf_initialize()

  r = zktokenf_new(h, 'alpha, beta "gamma delta" 12 1.5 # comment' // z, ' ,' // z, '""' // z, '#' // z, &
                   '\' // z, '=' // z)
  write (*, '(A,I0,A,I0,A,I0)') 'new ', r, ' handle ', h, ' num ', zktokenf_num(h)

  call zktokenf_get_token(h, 2, buf)
  write (*, '(A,A,A,I0)') 'token [', text_of(buf), '] nuls ', nuls(buf)
  call zktokenf_get_token(h, 4, buf)
  write (*, '(A,A,A,I0)') 'token [', text_of(buf), '] nuls ', nuls(buf)

  ! A longer buffer: positions after the 255th stay as they were.
  big = repeat('x', 300)
  call zktokenf_get_token(h, 0, big)
  write (*, '(A,A,A,I0,A,I0)') 'big [', text_of(big), '] nuls ', nuls(big), ' kept ', count_of('x', big(256:300))
  ! A shorter buffer: nothing past its own length is written.
  whole = repeat('y', 10)
  call zktokenf_get_token(h, 3, whole(1:4))
  write (*, '(A,A,A,I0,A,A)') 'short [', text_of(whole(1:4)), '] nuls ', nuls(whole(1:4)), ' rest ', whole(5:10)
  whole = repeat('y', 10)
  call zktokenf_get_token(h, 0, whole(1:4))
  write (*, '(A,I0,A,A)') 'short refused nuls ', nuls(whole(1:4)), ' rest ', whole(5:10)
  ! A token longer than 255 characters is refused, not cut short; one of
  ! exactly 255 fills all 255 positions, with no NUL.
  r = zktokenf_add(h, repeat('q', 300) // z)
  buf = repeat('x', 255)
  call zktokenf_get_token(h, 5, buf)
  write (*, '(A,I0,A,I0,A,I0)') 'long add ', r, ' nuls ', nuls(buf), ' q ', count_of('q', buf)
  r = zktokenf_add(h, repeat('p', 255) // z)
  big = repeat('x', 300)
  call zktokenf_get_token(h, 6, big)
  write (*, '(A,I0,A,I0,A,I0)') 'exact nuls ', nuls(big), ' p ', count_of('p', big), ' kept ', count_of('x', big)
  r = zktokenf_delete_token(h, 6)
  r = zktokenf_delete_token(h, 5)
  write (*, '(A,I0,A,I0)') 'delete_token ', r, ' num ', zktokenf_num(h)

  write (*, '(A,I0,1X,I0,1X,I0)') 'types ', zktokenf_find_type(h, 3), zktokenf_find_type(h, 4), &
      zktokenf_find_type(h, 0)
  r = zktokenf_get_int(h, 3, ival)
  write (*, '(A,I0,1X,I0)') 'int ', r, ival
  r = zktokenf_get_int(h, 4, ival)
  write (*, '(A,I0,1X,I0)') 'int of real ', r, ival
  r = zktokenf_get_double(h, 4, dval)
  write (*, '(A,I0,1X,F4.2)') 'double ', r, dval
  write (*, '(A,I0,1X,I0,1X,I0)') 'index ', zktokenf_index(h, 'beta' // z), zktokenf_indexn(h, 'gamxx' // z, 3), &
      zktokenf_index(h, 'none' // z)

  r = zktokenf_new(h2, z, ' ' // z, z, z, z, z)
  r = zktokenf_addn(h2, 'ab' // z, 5, 0, 0)
  r = zktokenf_addn(h2, 'ab' // z, 5, 1, 0)
  r = zktokenf_addn(h2, 'ab' // z, 5, 0, 1)
  call zktokenf_get_token(h2, 0, buf)
  write (*, '(A,A,A)') 'addn [', text_of(buf), ']'
  call zktokenf_get_token(h2, 1, buf)
  write (*, '(A,A,A)') 'addn left [', text_of(buf), ']'
  call zktokenf_get_token(h2, 2, buf)
  write (*, '(A,A,A)') 'addn offset [', text_of(buf), ']'

  r = zktokenf_replace(h2, 0, 'Mixed' // z)
  call zktokenf_toupper(h2)
  call zktokenf_tolower_token(h2, 1)
  call zktokenf_get_token(h2, 0, buf)
  write (*, '(A,I0,A,A,A)') 'replace ', r, ' upper [', text_of(buf), ']'
  call zktokenf_get_token(h2, 1, buf)
  write (*, '(A,A,A)') 'lower [', text_of(buf), ']'

  r = zktokenf_new(h3, z, z, z, z, z, z)
  write (*, '(A,I0,1X,I0)') 'copy ', zktokenf_copy(h3, h), zktokenf_num(h3)
  write (*, '(A,I0,1X,I0)') 'merge ', zktokenf_merge(h3, h2), zktokenf_num(h3)
  write (*, '(A,I0,1X,I0)') 'copyn ', zktokenf_copyn(h3, h2, 6, 1, 0), zktokenf_num(h3)
  write (*, '(A,I0,1X,I0)') 'mergen ', zktokenf_mergen(h3, h2, 7, 0, 0), zktokenf_num(h3)
  call zktokenf_get_token(h3, 5, buf)
  write (*, '(A,A,A)') 'mergen token [', text_of(buf), ']'

  joined = zktokenf_get_string(h)
  write (*, '(A,A,A)') 'string [', c_text(joined), ']'
  call c_free(joined)

  r = zktokenf_new(hp, '*.txt a* #' // z, ' ' // z, z, z, z, z)
  write (*, '(A,I0)') 'compile ', zktokenf_regex_compile(hp)
  write (*, '(A,I0,1X,I0,1X,I0,1X,I0)') 'match ', zktokenf_regex_index(hp, 'a.txt' // z), &
      zktokenf_regex_index(hp, 'abc' // z), zktokenf_regex_index(hp, '7' // z), zktokenf_regex_index(hp, 'q' // z)

  write (*, '(A,I0)') 'clear ', zktokenf_clear(h3)
  write (*, '(A,I0)') 'cleared num ', zktokenf_num(h3)
  bad = 99
  write (*, '(A,I0)') 'bad num ', zktokenf_num(bad)
  buf = repeat('x', 255)
  call zktokenf_get_token(bad, 0, buf)
  write (*, '(A,I0)') 'bad token nuls ', nuls(buf)
  write (*, '(A,I0,1X,I0,1X,I0,1X,I0)') 'delete ', zktokenf_delete(h), zktokenf_delete(h2), zktokenf_delete(h3), &
      zktokenf_delete(hp)
  write (*, '(A,I0)') 'deleted num ', zktokenf_num(h)
  call zktokenf_terminate()

contains

  ! The characters before the first NUL.
  function text_of(s) result(t)
    character(len=*), intent(in) :: s
    character(len=:), allocatable :: t
    integer :: k
    k = index(s, c_null_char)
    if (k == 0) then
      t = s
    else
      t = s(1:k - 1)
    end if
  end function

  integer function nuls(s)
    character(len=*), intent(in) :: s
    integer :: i
    nuls = 0
    do i = 1, len(s)
      if (s(i:i) == c_null_char) nuls = nuls + 1
    end do
  end function

  integer function count_of(c, s)
    character, intent(in) :: c
    character(len=*), intent(in) :: s
    integer :: i
    count_of = 0
    do i = 1, len(s)
      if (s(i:i) == c) count_of = count_of + 1
    end do
  end function

  ! A C string as Fortran text.
  function c_text(p) result(t)
    type(c_ptr), intent(in) :: p
    character(len=:), allocatable :: t
    character(kind=c_char), pointer :: chars(:)
    integer :: n, i
    n = int(c_strlen(p))
    call c_f_pointer(p, chars, [n])
    allocate (character(len=n) :: t)
    do i = 1, n
      t(i:i) = chars(i)
    end do
  end function

end program
