#include "library/collection_reader.h"

#include "text/line_reader.h"

#include <sys/stat.h>

#include <cstring>

namespace koron {
namespace {

// What each line is judged on:
// - the markers ("[SPLIT]", "[AA][name]", "[name]") on the line as stored, converted but with its
//   references undecoded, so that "&#91;SPLIT]" is text that a picture may show;
// - blank lines and heading pages on the decoded line, which is what a board shows.

constexpr std::u16string_view kSplit = u"[SPLIT]";
constexpr std::u16string_view kAstOpen = u"[AA][";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\u3000' || c == u'\t'; }

// The position of the first character that is not blank, or the size when there is none.
std::size_t FirstNonBlank(std::u16string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  return i;
}

bool StartsWith(std::u16string_view line, std::u16string_view prefix) {
  return line.size() >= prefix.size() && line.compare(0, prefix.size(), prefix) == 0;
}

bool IsListHeader(std::u16string_view line) {
  return line.size() >= 2 && line.front() == u'[' && line.back() == u']';
}

bool IsAstHeader(std::u16string_view line) {
  return line.size() > kAstOpen.size() && StartsWith(line, kAstOpen) && line.back() == u']';
}

int DigitValue(char16_t c, bool hex) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (!hex) return -1;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The reference that starts at `at` ("&#"), its value and its length; 0 when it is none.
std::size_t ReadReference(std::u16string_view text, std::size_t at, char32_t& value) {
  std::size_t i = at + 2;
  const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
  if (hex) ++i;
  const std::size_t maxDigits = hex ? 6 : 7;
  const std::size_t first = i;
  std::uint32_t number = 0;
  int digit = 0;
  while (i < text.size() && i - first < maxDigits && (digit = DigitValue(text[i], hex)) >= 0) {
    number = number * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    ++i;
  }
  if (i == first || i >= text.size() || text[i] != u';') return 0;
  if (number == 0 || number > 0x10FFFF || (number >= 0xD800 && number <= 0xDFFF)) return 0;
  value = number;
  return i + 1 - at;
}

// Entries as they are read, whatever the format: lines go into the current one, which is handed
// over when the next begins or the file ends.
class EntryBuilder {
 public:
  EntryBuilder(const CollectionReadOptions& options,
               const std::function<void(CollectionEntry&)>& take)
      : options_(options), take_(take) {}

  // Starts the next entry, with `name` (references still undecoded).
  void Begin(std::u16string_view name) {
    ++number_;
    entry_.name.assign(name);
    if (options_.decodeReferences) DecodeCharacterReferences(entry_.name);
    entry_.text.clear();
    nonBlank_ = 0;
    open_ = true;
  }

  // Adds a line to the entry begun last; `line` may be changed.
  void Add(std::u16string& line) {
    if (!open_) return;
    if (options_.decodeReferences) DecodeCharacterReferences(line);
    // Only the first non-blank line and whether there are more than two matter.
    if (nonBlank_ <= 2 && FirstNonBlank(line) < line.size()) {
      if (nonBlank_++ == 0) firstNonBlank_ = line;
    }
    entry_.text += line;
    entry_.text += u"\r\n";
  }

  // Ends the entry begun last, handing it over when it is listed.
  void End() {
    if (!open_) return;
    open_ = false;
    if (nonBlank_ == 0) return;
    if (options_.format == CollectionFormat::kMlt && nonBlank_ <= 2) {
      const std::size_t start = FirstNonBlank(firstNonBlank_);
      if (firstNonBlank_[start] == u'\u3010') {
        std::size_t end = firstNonBlank_.size();
        while (IsBlank(firstNonBlank_[end - 1])) --end;
        section_.assign(firstNonBlank_, start, end - start);
        return;
      }
    }
    // Set anew for each: `take` may change or move what it is given.
    entry_.number = number_;
    entry_.section = section_;
    take_(entry_);
  }

  // Numbers the next entry begun 1 again: the lines kept so far belong to no entry.
  void Forget() {
    open_ = false;
    number_ = 0;
  }

 private:
  const CollectionReadOptions& options_;
  const std::function<void(CollectionEntry&)>& take_;
  CollectionEntry entry_;
  std::u16string section_;        // of the last heading page
  std::u16string firstNonBlank_;  // of the current entry
  std::uint32_t number_ = 0;      // of the current entry
  int nonBlank_ = 0;              // non-blank lines of the current entry, counted up to 3
  bool open_ = false;
};

}  // namespace

std::optional<CollectionFormat> FormatOfPath(std::string_view path) {
  if (path.size() < 4 || path[path.size() - 4] != '.') return std::nullopt;
  char ending[3];
  for (int i = 0; i < 3; ++i) {
    const char c = path[path.size() - 3 + i];
    ending[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  const std::string_view extension(ending, 3);
  if (extension == "mlt") return CollectionFormat::kMlt;
  if (extension == "ast") return CollectionFormat::kAst;
  if (extension == "txt") return CollectionFormat::kText;
  return std::nullopt;
}

void DecodeCharacterReferences(std::u16string& text) {
  std::size_t at = text.find(u"&#");
  if (at == std::u16string::npos) return;
  // Decoded in place: a reference never gives more code units than it takes (at least four).
  std::size_t out = at;
  while (at < text.size()) {
    char32_t value = 0;
    const std::size_t length = text[at] == u'&' && at + 1 < text.size() && text[at + 1] == u'#'
                                   ? ReadReference(text, at, value)
                                   : 0;
    if (length == 0) {
      text[out++] = text[at++];
      continue;
    }
    if (value >= 0x10000) {
      text[out++] = static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
      text[out++] = static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
    } else {
      text[out++] = static_cast<char16_t>(value);
    }
    at += length;
  }
  text.resize(out);
}

CollectionProblem ReadCollection(LineReader& reader, const CollectionReadOptions& options,
                                 const std::function<void(CollectionEntry&)>& take) {
  EntryBuilder builder(options, take);
  // A text file is a list when it has a header line; until one comes, its lines may be a plain
  // picture, so they are kept in an entry of its own.
  bool plain = options.format == CollectionFormat::kText;
  if (options.format == CollectionFormat::kMlt || plain) builder.Begin(plain ? options.stem : u"");
  std::string_view raw;
  std::u16string line;
  while (reader.NextRawLine(raw)) {
    // NUL bytes are tested on the stored bytes, which no text in a byte encoding holds.
    if (std::memchr(raw.data(), '\0', raw.size()) != nullptr) return CollectionProblem::kNotText;
    reader.Decode(raw, line);
    if (reader.failed()) break;
    switch (options.format) {
      case CollectionFormat::kMlt:
        if (StartsWith(line, kSplit)) {
          builder.End();
          builder.Begin(u"");
          continue;
        }
        break;
      case CollectionFormat::kAst:
        if (IsAstHeader(line)) {
          builder.End();
          builder.Begin(
              std::u16string_view(line).substr(kAstOpen.size(), line.size() - kAstOpen.size() - 1));
          continue;
        }
        break;
      case CollectionFormat::kText:
        if (IsListHeader(line)) {
          if (plain) {
            plain = false;
            builder.Forget();
          } else {
            builder.End();
          }
          builder.Begin(std::u16string_view(line).substr(1, line.size() - 2));
          continue;
        }
        break;
    }
    builder.Add(line);
  }
  if (reader.failed()) return CollectionProblem::kUnreadable;
  // A page begun by a last "[SPLIT]" line has no lines, so it is blank and is not listed anyway:
  // only the first page, or a later one with lines, takes a number.
  builder.End();
  return CollectionProblem::kNone;
}

CollectionProblem ReadCollectionFile(const std::string& path, const CollectionReadOptions& options,
                                     const std::function<void(CollectionEntry&)>& take) {
  // Told apart after the fact: the reader refuses both alike, and a file may grow while it is read.
  const auto problem = [&path] {
    struct stat info {};
    const bool tooLarge = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                          static_cast<std::uint64_t>(info.st_size) > kMaxCollectionFileBytes;
    return tooLarge ? CollectionProblem::kTooLarge : CollectionProblem::kUnreadable;
  };
  LineReader reader;
  if (!reader.Open(path, kMaxCollectionFileBytes)) return problem();
  const CollectionProblem found = ReadCollection(reader, options, take);
  return found == CollectionProblem::kUnreadable ? problem() : found;
}

}  // namespace koron
