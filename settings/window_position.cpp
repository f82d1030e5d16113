#include "settings/window_position.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "text/line_reader.h"
#include "text/line_writer.h"
#include "text/number_reading.h"

namespace koron {

WindowPosition ReadWindowPosition(LineReader& reader) {
  WindowPosition position;
  std::u16string line;
  while (reader.NextLine(line)) {
    std::int32_t* edge = nullptr;
    if (line == u"[TOP]") {
      edge = &position.Top;
    } else if (line == u"[LEFT]") {
      edge = &position.Left;
    } else {
      continue;
    }
    // The value line is taken as it stands, even when it looks like a marker.
    if (!reader.NextLine(line)) return {};
    const std::optional<std::int32_t> value = ReadNumber(line);
    if (!value) return {};
    *edge = *value;
  }
  if (reader.failed()) return {};
  return position;
}

WindowPosition LoadWindowPosition(const std::string& path) {
  try {
    LineReader reader;
    if (!reader.Open(path, kMaxPositionFileBytes)) return {};
    return ReadWindowPosition(reader);
  } catch (...) {
    return {};
  }
}

std::string FormatPositionValue(float value) {
  if (value == 0) return "0";  // also -0, which has no sign to write
  // Seven significant digits as d.dddddde±x, then laid out without the exponent.
  char scientific[32];
  std::snprintf(scientific, sizeof scientific, "%.6e", static_cast<double>(value));
  std::string digits(1, scientific[0]);
  digits.append(scientific + 2, 6);
  const int exponent = std::atoi(std::strchr(scientific, 'e') + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int whole = exponent + 1;  // digits before the point
  if (whole <= 0) return "0." + std::string(static_cast<std::size_t>(-whole), '0') + digits;
  const auto point = static_cast<std::size_t>(whole);
  if (point >= digits.size()) return digits + std::string(point - digits.size(), '0');
  return digits.substr(0, point) + "." + digits.substr(point);
}

void SaveWindowPosition(float top, float left, const std::string& path) {
  // NaN fails both comparisons. Infinity cannot be written as plain digits: left alone too.
  if (!(top >= 0) || !(left >= 0) || std::isinf(top) || std::isinf(left)) return;
  try {
    ReplaceFileWithLines(path, {"[TOP]", " " + FormatPositionValue(top) + " ", "[LEFT]",
                                " " + FormatPositionValue(left) + " "});
  } catch (...) {
    // The window closes whatever happens here.
  }
}

}  // namespace koron
