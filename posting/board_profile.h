#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace koron {

// What a text board does with a post: how much it takes, how it counts it, and what it keeps.
struct BoardProfile {
  std::string name;
  std::uint64_t byteLimit = 4096;  // bytes of one post, counted as the board counts them
  std::uint32_t lineLimit = 60;
  // The bytes the board counts for each of these, as it stores them: a line break as "<br>",
  // "<" as "&lt;" and so on.
  std::uint32_t lineBreakBytes = 4;
  std::uint32_t lessThanBytes = 4;
  std::uint32_t greaterThanBytes = 4;
  std::uint32_t quoteBytes = 6;
  std::uint32_t ampersandBytes = 1;
  // Whether a character outside Shift_JIS passes as a reference "&#N;"; when not, it is lost.
  bool referencesPass = true;
  // Whether the board drops a half-width space at the start of a line and merges a run of them.
  bool dropsSpaces = true;
};

// The profile every post is checked against unless another is chosen: "5ch", counted cautiously
// so that a board that counts less still takes what fits it.
BoardProfile DefaultBoardProfile();

// The profiles the tool brings, the default first. A kept profile never takes one of their names,
// so a name given on the command line always means the same profile here.
const std::vector<BoardProfile>& BuiltInBoardProfiles();
std::optional<BoardProfile> FindBuiltInBoardProfile(std::string_view name);

// The figures a profile may hold. Past them a setting is taken for a mistake, never for a board.
inline constexpr std::uint64_t kMaxBoardByteLimit = std::uint64_t{1} << 30;
inline constexpr std::uint32_t kMaxBoardLineLimit = 1000000;
inline constexpr std::uint32_t kMaxBoardCountBytes = 64;  // of a line break, "<" and the like

// A profile, or why there is none: `error` names the setting (or the file) and says what is
// wrong, in English. `missing` tells a name that no profile has apart from a profile that cannot
// be read.
struct BoardProfileResult {
  bool ok = false;
  bool missing = false;
  BoardProfile profile;
  std::string error;
};

// A profile from a board's SETTING.TXT as boards publish it: KEY=VALUE lines in code page 932 (or
// UTF-8), CR LF or LF. The name is BBS_TITLE, the byte limit BBS_MESSAGE_COUNT, the line limit
// twice BBS_LINE_NUMBER (a board takes twice as many lines as that setting says), and references
// pass when BBS_UNICODE is "pass" and are lost when it is "change"; how bytes are counted and
// spaces dropped is as in DefaultBoardProfile. A missing, empty or malformed setting of these, or
// a number that is 0, signed or past the limits above, gives no profile.
BoardProfileResult ParseBoardSettings(std::string_view bytes);

// ParseBoardSettings of the file at `path` (at most 1 MiB).
BoardProfileResult ReadBoardSettingsFile(const std::string& path);

// The name of the file in a profile folder that keeps the profile called `name`: the name itself
// (in UTF-8) with "%", "/", control characters and a leading "." written as %XX, then ".txt".
// Empty for a name that cannot be kept: an empty one, one that is too long for a file name.
std::string BoardProfileFileName(std::string_view name);

// Keeps `profile` in `folder` (made, private to the user, when missing), replacing a kept profile
// of the same name safely (a temporary file, then a rename). Refused, with the reason in `error`,
// for a name a built-in profile has, a name BoardProfileFileName refuses, figures outside the
// limits, or a file that cannot be written.
bool KeepBoardProfile(const BoardProfile& profile, const std::string& folder, std::string* error);

// The profile called `name`: a built-in one, or else the one kept in `folder`. `missing` when
// neither has it.
BoardProfileResult FindBoardProfile(std::string_view name, const std::string& folder);

// Every profile kept in `folder` that can be read, sorted by name; the built-in ones are not
// among them.
std::vector<BoardProfile> KeptBoardProfiles(const std::string& folder);

// What the board counts for `c`, a character other than a line break: the profile's figure for
// "<", ">", "\"" and "&", and for any other its bytes in Shift_JIS-safe text, `safeBytes`.
constexpr std::uint32_t BoardCharacterBytes(char32_t c, const BoardProfile& profile,
                                            std::uint32_t safeBytes) {
  switch (c) {
    case U'<':
      return profile.lessThanBytes;
    case U'>':
      return profile.greaterThanBytes;
    case U'"':
      return profile.quoteBytes;
    case U'&':
      return profile.ampersandBytes;
    default:
      return safeBytes;
  }
}

// The bytes of `text` as the board counts them: each line break (CR LF, CR or LF, as SplitLines
// cuts lines) counts lineBreakBytes, "<", ">", "\"" and "&" their own figures, every other
// character its bytes in Shift_JIS-safe text (ShiftJisSafeBytes).
std::uint64_t BoardByteCount(std::u16string_view text, const BoardProfile& profile);

}  // namespace koron
