// Number reading on arbitrary UTF-16 text (the input's bytes taken in pairs).

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text/number_reading.h"

namespace {

// Plain integers are easy to check against the C library.
void CheckPlainInteger(const std::u16string& text, std::optional<std::int32_t> value) {
  std::size_t position = 0;
  while (position < text.size() && (text[position] == u' ' || text[position] == u'\t')) ++position;
  std::string ascii;
  if (position < text.size() && (text[position] == u'-' || text[position] == u'+')) {
    ascii += static_cast<char>(text[position++]);
  }
  std::size_t digits = 0;
  for (; position < text.size() && text[position] >= u'0' && text[position] <= u'9'; ++position) {
    ascii += static_cast<char>(text[position]);
    ++digits;
  }
  if (digits == 0 || digits > 18) return;
  if (position < text.size()) {
    const char16_t next = text[position];
    if (next == u'.' || next == u'e' || next == u'E') return;
  }
  const long long expected = std::strtoll(ascii.c_str(), nullptr, 10);
  const bool in_range = expected >= INT32_MIN && expected <= INT32_MAX;
  if (in_range != value.has_value()) __builtin_trap();
  if (in_range && *value != expected) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * 2);

  const std::optional<std::int32_t> value = koron::ReadNumber(text);
  if (koron::ReadCount(text) != value.value_or(0)) __builtin_trap();

  // Reading stops at the first character that does not fit, so what follows cannot matter.
  if (koron::ReadNumber(text + u"\uFFFF") != value) __builtin_trap();

  CheckPlainInteger(text, value);
  return 0;
}
