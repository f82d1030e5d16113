#pragma once

#include <cstdint>
#include <string>

namespace koron {

class LineReader;

// The position file's name in the working folder.
inline constexpr char kPositionFile[] = "MARU.ini";

// The main window's top-left corner in twips, as kept in MARU.ini.
struct WindowPosition {
  std::int32_t Top = 0;
  std::int32_t Left = 0;
};

// A file the tool writes holds about 30 bytes; a larger one than this is not read at all, so
// that reading costs the same whatever lies there.
inline constexpr std::uint64_t kMaxPositionFileBytes = 64 * 1024;

// Reads the position; 0, 0 when the file is missing, larger than kMaxPositionFileBytes or cannot
// be read completely.
WindowPosition LoadWindowPosition(const std::string& path = kPositionFile);

// Writes the position, replacing the file only once the new content is safely on disk (see
// ReplaceFileWithLines for links and directories that refuse the replacement). Does nothing when
// either edge is negative or not a number; never throws.
void SaveWindowPosition(float top, float left, const std::string& path = kPositionFile);

// The same reading, on a reader already opened.
WindowPosition ReadWindowPosition(LineReader& reader);

// An edge as written to the file: decimal, at most seven significant digits, no exponent, a
// whole number without a point. `value` must be finite and not negative.
std::string FormatPositionValue(float value);

}  // namespace koron
