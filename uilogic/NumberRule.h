// How the dialogs read a number from an edit box. Kept lenient on purpose:
// trailing junk ends the number instead of rejecting it, so "40x" still gives 40.
#pragma once

#include <cstdint>
#include <string>

namespace uilogic {

// Leading blanks and tabs are skipped, then an optional '-' and decimal digits
// up to the first other character. The minus counts only when the digits run to
// the end of the text ("-12x" gives 12). No digits give 0. A long run of digits
// saturates at INT32_MAX / INT32_MIN.
int32_t DialogNumber(const std::string& text);

} // namespace uilogic
