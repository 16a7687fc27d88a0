// C++ side of the shared services: scratch-project directory names and the
// expression that recognises them.
#ifndef HESTREL_ZKCOMMON_HPP
#define HESTREL_ZKCOMMON_HPP

#include "hestrel_export.h"

#include <string>

#include "zkcommon.h"

// PELMORAVINE_TEMP_PROJECT joined with "Tmp_" and the local time as
// ddMMMyyyy_HHmm_sszzz (C locale); nothing is created. Throws
// std::runtime_error when the variable is unset.
HESTREL_API std::string zkcommon_get_scratch_project_path();

// The expression that matches scratch-project names (groups: day, year,
// hour, minute, second with millisecond). The same text at every call.
HESTREL_API std::string zkcommon_get_scratch_project_regular_expression();

#endif
