#include "posting/board_profile.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "posting/code_points.h"
#include "posting/shift_jis_safe.h"
#include "text/line_reader.h"
#include "text/line_writer.h"

namespace koron {
namespace {

constexpr std::uint64_t kMaxSettingsFileBytes = std::uint64_t{1} << 20;
constexpr std::size_t kMaxFileNameBytes = 200;  // well inside the 255 of common file systems
constexpr char kFileSuffix[] = ".txt";

// Keys of a kept profile's file: the fields' own names.
constexpr char kName[] = "name";
constexpr char kByteLimit[] = "byteLimit";
constexpr char kLineLimit[] = "lineLimit";
constexpr char kLineBreakBytes[] = "lineBreakBytes";
constexpr char kLessThanBytes[] = "lessThanBytes";
constexpr char kGreaterThanBytes[] = "greaterThanBytes";
constexpr char kQuoteBytes[] = "quoteBytes";
constexpr char kAmpersandBytes[] = "ampersandBytes";
constexpr char kReferencesPass[] = "referencesPass";
constexpr char kDropsSpaces[] = "dropsSpaces";

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = NextCodePoint(text, i);
    AppendUtf8(IsSurrogate(c) ? 0xFFFD : c, out);
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(std::string text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  return text.substr(start);
}

// The KEY=VALUE lines of a file, keys and values in UTF-8 with blanks around them taken off.
// Lines without "=" say nothing; of a key given twice the last value counts.
using Settings = std::map<std::string, std::string>;

Settings ReadSettings(LineReader& reader) {
  Settings settings;
  std::u16string line;
  while (reader.NextLine(line)) {
    const std::size_t equals = line.find(u'=');
    if (equals == std::u16string::npos) continue;
    settings[Trimmed(Utf8(line.substr(0, equals)))] = Trimmed(Utf8(line.substr(equals + 1)));
  }
  return settings;
}

BoardProfileResult Failure(std::string error) {
  BoardProfileResult result;
  result.error = std::move(error);
  return result;
}

// Reads each setting into a profile, keeping the first complaint.
class SettingReader {
 public:
  explicit SettingReader(const Settings& settings) : settings_(settings) {}

  const std::string* Value(const char* key) {
    const auto found = settings_.find(key);
    if (found == settings_.end()) {
      Complain(std::string(key) + " is missing.");
      return nullptr;
    }
    if (found->second.empty()) {
      Complain(std::string(key) + " is empty.");
      return nullptr;
    }
    return &found->second;
  }

  // A whole number from 1 to `most`: digits alone, so that "-1", "1e3" or "0x10" are refused
  // rather than read as something the board never meant.
  std::uint64_t Number(const char* key, std::uint64_t most) {
    const std::string* value = Value(key);
    if (value == nullptr) return 0;
    std::uint64_t number = 0;
    for (const char c : *value) {
      if (c < '0' || c > '9') {
        Complain(std::string(key) + ": '" + *value + "' is not a whole number.");
        return 0;
      }
      number = std::min<std::uint64_t>(number * 10 + static_cast<unsigned>(c - '0'), most + 1);
    }
    if (number == 0 || number > most) {
      Complain(std::string(key) + ": '" + *value + "' is out of range (1 to " +
               std::to_string(most) + ").");
      return 0;
    }
    return number;
  }

  bool Choice(const char* key, const char* yes, const char* no) {
    const std::string* value = Value(key);
    if (value == nullptr) return false;
    if (*value == yes) return true;
    if (*value != no) {
      Complain(std::string(key) + ": '" + *value + "' is neither '" + yes + "' nor '" + no + "'.");
    }
    return false;
  }

  void Complain(std::string error) {
    if (error_.empty()) error_ = std::move(error);
  }
  const std::string& error() const { return error_; }

 private:
  const Settings& settings_;
  std::string error_;
};

BoardProfileResult Finish(BoardProfile profile, const SettingReader& reader) {
  if (!reader.error().empty()) return Failure(reader.error());
  BoardProfileResult result;
  result.ok = true;
  result.profile = std::move(profile);
  return result;
}

BoardProfileResult ProfileFromBoardSettings(const Settings& settings) {
  SettingReader reader(settings);
  BoardProfile profile = DefaultBoardProfile();
  if (const std::string* title = reader.Value("BBS_TITLE")) profile.name = *title;
  profile.byteLimit = reader.Number("BBS_MESSAGE_COUNT", kMaxBoardByteLimit);
  profile.lineLimit =
      2 * static_cast<std::uint32_t>(reader.Number("BBS_LINE_NUMBER", kMaxBoardLineLimit / 2));
  profile.referencesPass = reader.Choice("BBS_UNICODE", "pass", "change");
  return Finish(std::move(profile), reader);
}

BoardProfileResult ProfileFromKeptSettings(const Settings& settings) {
  SettingReader reader(settings);
  BoardProfile profile;
  if (const std::string* name = reader.Value(kName)) profile.name = *name;
  profile.byteLimit = reader.Number(kByteLimit, kMaxBoardByteLimit);
  profile.lineLimit = static_cast<std::uint32_t>(reader.Number(kLineLimit, kMaxBoardLineLimit));
  const auto count = [&](const char* key) {
    return static_cast<std::uint32_t>(reader.Number(key, kMaxBoardCountBytes));
  };
  profile.lineBreakBytes = count(kLineBreakBytes);
  profile.lessThanBytes = count(kLessThanBytes);
  profile.greaterThanBytes = count(kGreaterThanBytes);
  profile.quoteBytes = count(kQuoteBytes);
  profile.ampersandBytes = count(kAmpersandBytes);
  profile.referencesPass = reader.Choice(kReferencesPass, "true", "false");
  profile.dropsSpaces = reader.Choice(kDropsSpaces, "true", "false");
  return Finish(std::move(profile), reader);
}

// Why the file at `path` cannot be read as settings; empty when it can be opened.
std::string UnreadableFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return ::strerror(errno);
  if (S_ISDIR(info.st_mode)) return "it is a folder";
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  if (static_cast<std::uint64_t>(info.st_size) > kMaxSettingsFileBytes) {
    return "larger than 1 MiB";
  }
  return {};
}

template <typename Make>
BoardProfileResult ReadFile(const std::string& path, Make make) {
  std::string why = UnreadableFile(path);
  LineReader reader;
  if (why.empty() && !reader.Open(path, kMaxSettingsFileBytes)) why = ::strerror(errno);
  Settings settings;
  if (why.empty()) settings = ReadSettings(reader);
  if (why.empty() && reader.failed()) why = "reading it failed";
  if (!why.empty()) return Failure("cannot read '" + path + "': " + why + ".");
  BoardProfileResult result = make(settings);
  if (!result.ok) result.error = path + ": " + result.error;
  return result;
}

bool SameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

// mkdir -p; new folders are the user's alone, as the base directory rules ask.
bool MakeFolders(const std::string& folder) {
  for (std::size_t end = 1; end <= folder.size(); ++end) {
    if (end < folder.size() && folder[end] != '/') continue;
    if (::mkdir(folder.substr(0, end).c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Flag(bool value) { return value ? "true" : "false"; }

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

BoardProfile DefaultBoardProfile() {
  BoardProfile profile;
  profile.name = "5ch";
  return profile;
}

const std::vector<BoardProfile>& BuiltInBoardProfiles() {
  static const std::vector<BoardProfile> profiles = {DefaultBoardProfile()};
  return profiles;
}

std::optional<BoardProfile> FindBuiltInBoardProfile(std::string_view name) {
  for (const BoardProfile& profile : BuiltInBoardProfiles()) {
    if (profile.name == name) return profile;
  }
  return std::nullopt;
}

BoardProfileResult ParseBoardSettings(std::string_view bytes) {
  LineReader reader;
  reader.OpenBytes(bytes);
  const Settings settings = ReadSettings(reader);
  return ProfileFromBoardSettings(settings);
}

BoardProfileResult ReadBoardSettingsFile(const std::string& path) {
  return ReadFile(path, ProfileFromBoardSettings);
}

std::string BoardProfileFileName(std::string_view name) {
  if (name.empty()) return {};
  std::string file;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c == '%' || c == '/' || c < 0x20 || c == 0x7F || (i == 0 && c == '.')) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      file += '%';
      file += kHex[c >> 4];
      file += kHex[c & 0xF];
    } else {
      file += static_cast<char>(c);
    }
  }
  file += kFileSuffix;
  return file.size() <= kMaxFileNameBytes ? file : std::string();
}

bool KeepBoardProfile(const BoardProfile& profile, const std::string& folder, std::string* error) {
  const std::string file = BoardProfileFileName(profile.name);
  const bool control = std::any_of(profile.name.begin(), profile.name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  const auto sameAsBuiltIn = [&](const BoardProfile& builtIn) {
    return SameName(builtIn.name, profile.name);
  };
  const auto countOk = [](std::uint32_t bytes) {
    return bytes >= 1 && bytes <= kMaxBoardCountBytes;
  };
  if (profile.name.empty()) {
    *error = "the profile has no name.";
  } else if (std::any_of(BuiltInBoardProfiles().begin(), BuiltInBoardProfiles().end(),
                         sameAsBuiltIn)) {
    *error = "'" + profile.name + "' is the name of a built-in profile; it cannot be replaced.";
  } else if (file.empty() || control) {
    *error =
        "the name '" + profile.name + "' cannot be a file name (too long or control characters).";
  } else if (profile.byteLimit < 1 || profile.byteLimit > kMaxBoardByteLimit ||
             profile.lineLimit < 1 || profile.lineLimit > kMaxBoardLineLimit ||
             !countOk(profile.lineBreakBytes) || !countOk(profile.lessThanBytes) ||
             !countOk(profile.greaterThanBytes) || !countOk(profile.quoteBytes) ||
             !countOk(profile.ampersandBytes)) {
    *error = "the profile '" + profile.name + "' holds figures out of range.";
  } else if (!MakeFolders(folder)) {
    *error = "cannot make the folder '" + folder + "': " + ::strerror(errno) + ".";
  } else {
    const std::vector<std::string> lines = {
        "\xEF\xBB\xBF# koron-aa board profile",  // UTF-8, whatever the name holds
        std::string(kName) + "=" + profile.name,
        std::string(kByteLimit) + "=" + std::to_string(profile.byteLimit),
        std::string(kLineLimit) + "=" + std::to_string(profile.lineLimit),
        std::string(kLineBreakBytes) + "=" + std::to_string(profile.lineBreakBytes),
        std::string(kLessThanBytes) + "=" + std::to_string(profile.lessThanBytes),
        std::string(kGreaterThanBytes) + "=" + std::to_string(profile.greaterThanBytes),
        std::string(kQuoteBytes) + "=" + std::to_string(profile.quoteBytes),
        std::string(kAmpersandBytes) + "=" + std::to_string(profile.ampersandBytes),
        std::string(kReferencesPass) + "=" + Flag(profile.referencesPass),
        std::string(kDropsSpaces) + "=" + Flag(profile.dropsSpaces),
    };
    if (ReplaceFileWithLines(folder + "/" + file, lines)) return true;
    *error = "cannot write '" + folder + "/" + file + "'.";
  }
  return false;
}

BoardProfileResult FindBoardProfile(std::string_view name, const std::string& folder) {
  BoardProfileResult result;
  if (std::optional<BoardProfile> builtIn = FindBuiltInBoardProfile(name)) {
    result.ok = true;
    result.profile = std::move(*builtIn);
    return result;
  }
  const std::string file = BoardProfileFileName(name);
  const std::string path = folder + "/" + file;
  struct stat info {};
  if (file.empty() || folder.empty() || (::stat(path.c_str(), &info) != 0 && errno == ENOENT)) {
    result.missing = true;
    result.error = "there is no board profile '" + std::string(name) + "'.";
    return result;
  }
  result = ReadFile(path, ProfileFromKeptSettings);
  if (result.ok && result.profile.name != name) {
    return Failure(path + ": it holds the profile '" + result.profile.name + "'.");
  }
  return result;
}

std::vector<BoardProfile> KeptBoardProfiles(const std::string& folder) {
  std::vector<BoardProfile> profiles;
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) return profiles;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string file = entry->d_name;
    if (file.front() == '.' || !EndsWith(file, kFileSuffix)) continue;
    BoardProfileResult read = ReadFile(folder + "/" + file, ProfileFromKeptSettings);
    // Only what FindBoardProfile would find under the same name.
    if (read.ok && BoardProfileFileName(read.profile.name) == file &&
        !FindBuiltInBoardProfile(read.profile.name)) {
      profiles.push_back(std::move(read.profile));
    }
  }
  ::closedir(directory);
  std::sort(profiles.begin(), profiles.end(),
            [](const BoardProfile& a, const BoardProfile& b) { return a.name < b.name; });
  return profiles;
}

std::uint64_t BoardByteCount(std::u16string_view text, const BoardProfile& profile) {
  std::uint64_t bytes = 0;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    switch (text[i]) {
      case u'\r':
        if (i + 1 < n && text[i + 1] == u'\n') ++i;
        [[fallthrough]];
      case u'\n':
        bytes += profile.lineBreakBytes;
        ++i;
        continue;
      default: {
        const char32_t c = NextCodePoint(text, i);
        bytes += BoardCharacterBytes(c, profile, ShiftJisSafeBytes(c));
      }
    }
  }
  return bytes;
}

}  // namespace koron
