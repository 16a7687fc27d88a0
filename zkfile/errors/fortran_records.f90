! Record writers for Fortran units: the only place where the library writes
! to a unit, so every message reaches it through the Fortran runtime itself.

! One record holding the first length characters of text; an empty record
! for a length of 0 or less. The explicit length decides, not the hidden one.
subroutine fprint_line(unit, text, length)
  implicit none
  integer, intent(in) :: unit, length
  character(len=max(length, 0)), intent(in) :: text
  if (length <= 0) then
    write (unit, '(A)') ''
  else
    write (unit, '(A)') text
  end if
end subroutine fprint_line

! One empty record.
subroutine fskip_line(unit)
  implicit none
  integer, intent(in) :: unit
  write (unit, '(A)')
end subroutine fskip_line
