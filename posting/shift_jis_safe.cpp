#include "posting/shift_jis_safe.h"

namespace koron {

ShiftJisSafeText MakeShiftJisSafe(std::u16string_view text) { return {std::u16string(text), 0}; }

std::string EncodeShiftJisSafe(std::u16string_view) { return {}; }

Cp932Encoding EncodeCp932(std::u16string_view) { return {}; }

}  // namespace koron
