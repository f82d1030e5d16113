// The window position file on arbitrary bytes, read from memory and checked against a plain
// version; and the number form of the writer on arbitrary single-precision values.

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/window_position.h"
#include "text/line_reader.h"
#include "text/number_reading.h"

namespace {

koron::WindowPosition PlainRead(const std::vector<std::u16string>& lines) {
  koron::WindowPosition position;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::int32_t* edge = lines[i] == u"[TOP]"    ? &position.Top
                         : lines[i] == u"[LEFT]" ? &position.Left
                                                 : nullptr;
    if (edge == nullptr) continue;
    if (++i == lines.size()) return {};
    const auto value = koron::ReadNumber(lines[i]);
    if (!value) return {};
    *edge = *value;
  }
  return position;
}

void CheckFormat(float value) {
  if (!std::isfinite(value) || value < 0) return;
  const std::string text = koron::FormatPositionValue(value);
  std::size_t points = 0;
  std::size_t significant = 0;
  bool leading = true;
  for (char c : text) {
    if (c == '.') {
      ++points;
      continue;
    }
    if (c < '0' || c > '9') __builtin_trap();
    if (c != '0') leading = false;
    if (!leading) ++significant;
  }
  if (points > 1 || text.empty() || text.back() == '.') __builtin_trap();
  if (points == 1 && text.back() == '0') __builtin_trap();
  if (text.size() > 1 && text[0] == '0' && text[1] != '.') __builtin_trap();
  // Trailing zeros of a whole number are not significant digits of the value.
  if (points == 0) {
    std::size_t zeros = 0;
    while (zeros < text.size() && text[text.size() - 1 - zeros] == '0') ++zeros;
    significant = text.size() - zeros;
  }
  if (significant > 7) __builtin_trap();
  // The written text must stand within rounding of seven digits of the value.
  const double written = std::strtod(text.c_str(), nullptr);
  if (std::fabs(written - value) > 5.00001e-7 * value) __builtin_trap();
  // Read back as the loader reads it: halves to even, like nearbyint in the default mode.
  if (written < 2147483647.0) {
    const auto read = koron::ReadNumber(std::u16string(text.begin(), text.end()));
    if (!read || *read != static_cast<std::int32_t>(std::nearbyint(written))) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::vector<std::u16string> lines;
  koron::LineReader all;
  if (!all.OpenBytes(bytes)) __builtin_trap();
  std::u16string line;
  while (all.NextLine(line)) lines.push_back(line);
  const koron::WindowPosition expected = PlainRead(lines);

  koron::LineReader reader(1 + size % 5);
  if (!reader.OpenBytes(bytes)) __builtin_trap();
  const koron::WindowPosition position = koron::ReadWindowPosition(reader);
  if (position.Top != expected.Top || position.Left != expected.Left) __builtin_trap();

  if (size >= 4) {
    float value;
    std::memcpy(&value, data, sizeof value);
    CheckFormat(value);
    CheckFormat(std::fabs(value));
  }
  return 0;
}
