#include "text/number_reading.h"

namespace koron {

std::optional<std::int32_t> ReadNumber(std::u16string_view) { return 0; }

std::int32_t ReadCount(std::u16string_view text) { return ReadNumber(text).value_or(0); }

}  // namespace koron
