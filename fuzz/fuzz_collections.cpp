// The collection reader on arbitrary file bytes, read from memory. The first byte chooses the
// format (its value mod 3) and whether references are decoded (bit 2); the rest is the file.
// Every entry is checked against the rules applied naively to the lines of the plain reader,
// through the default chunk size and through tiny chunks.

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/plain_file.h"
#include "library/collection_reader.h"
#include "text/line_reader.h"

namespace {

using koron::CollectionEntry;
using koron::CollectionFormat;

struct Group {
  std::u16string name;
  plain::Lines lines;
};

bool Begins(const std::u16string& line, std::u16string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

bool BlankChar(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

bool BlankLine(const std::u16string& line) {
  for (char16_t c : line) {
    if (!BlankChar(c)) return false;
  }
  return true;
}

// References by counting digits first, then judging the count and the value.
std::u16string Decoded(const std::u16string& text) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, u"&#") == 0) {
      std::size_t j = i + 2;
      const bool hex = j < text.size() && (text[j] | 0x20) == u'x';
      if (hex) ++j;
      const std::size_t digits = j;
      while (j < text.size() && text[j] < 128 &&
             (hex ? std::isxdigit(text[j]) : std::isdigit(text[j]))) {
        ++j;
      }
      const std::size_t count = j - digits;
      if (count >= 1 && count <= (hex ? 6u : 7u) && j < text.size() && text[j] == u';') {
        std::string number(text.begin() + digits, text.begin() + j);
        const unsigned long value = std::stoul(number, nullptr, hex ? 16 : 10);
        if (value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
          if (value < 0x10000) {
            out += static_cast<char16_t>(value);
          } else {
            out += static_cast<char16_t>(0xD7C0 + (value >> 10));
            out += static_cast<char16_t>(0xDC00 | (value & 0x3FF));
          }
          i = j + 1;
          continue;
        }
      }
    }
    out += text[i++];
  }
  return out;
}

std::vector<CollectionEntry> PlainEntries(const plain::Lines& lines, CollectionFormat format,
                                          bool decode) {
  std::vector<Group> groups;
  if (format == CollectionFormat::kMlt) {
    groups.emplace_back();
    for (const std::u16string& line : lines) {
      if (Begins(line, u"[SPLIT]")) {
        groups.emplace_back();
      } else {
        groups.back().lines.push_back(line);
      }
    }
  } else if (format == CollectionFormat::kAst) {
    for (const std::u16string& line : lines) {
      if (line.size() >= 6 && Begins(line, u"[AA][") && line.back() == u']') {
        groups.push_back({line.substr(5, line.size() - 6), {}});
      } else if (!groups.empty()) {
        groups.back().lines.push_back(line);
      }
    }
  } else {
    for (const std::u16string& line : lines) {
      if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
        groups.push_back({line.substr(1, line.size() - 2), {}});
      } else if (!groups.empty()) {
        groups.back().lines.push_back(line);
      }
    }
    if (groups.empty()) groups.push_back({u"stem", lines});
  }

  std::vector<CollectionEntry> entries;
  std::u16string section;
  for (std::size_t n = 0; n < groups.size(); ++n) {
    Group& group = groups[n];
    std::vector<std::u16string> full;
    for (std::u16string& line : group.lines) {
      if (decode) line = Decoded(line);
      if (!BlankLine(line)) full.push_back(line);
    }
    if (full.empty()) continue;
    if (format == CollectionFormat::kMlt && full.size() <= 2) {
      std::u16string first = full[0];
      while (BlankChar(first.front())) first.erase(0, 1);
      if (first.front() == u'\u3010') {
        while (BlankChar(first.back())) first.pop_back();
        section = first;
        continue;
      }
    }
    CollectionEntry entry;
    entry.number = static_cast<std::uint32_t>(n + 1);
    entry.name = decode ? Decoded(group.name) : group.name;
    entry.section = section;
    for (const std::u16string& line : group.lines) entry.text += line + u"\r\n";
    entries.push_back(entry);
  }
  return entries;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Compares by memory: a character loop is slow in an instrumented build.
bool Same(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const CollectionFormat format = static_cast<CollectionFormat>(data[0] % 3);
  const bool decode = (data[0] & 4) == 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const plain::File file = plain::Read(bytes);
  const std::vector<CollectionEntry> expected = PlainEntries(file.lines, format, decode);
  const koron::CollectionReadOptions options{format, u"stem", decode};
  for (std::size_t chunk : {koron::LineReader::kDefaultChunkSize, 1 + size % 7}) {
    koron::LineReader reader(chunk);
    Check(reader.OpenBytes(bytes));
    std::size_t next = 0;
    const koron::CollectionProblem problem =
        koron::ReadCollection(reader, options, [&](CollectionEntry& entry) {
          // Before a NUL byte, the entries handed over are those of the file up to it.
          if (file.nul) return;
          Check(next < expected.size());
          const CollectionEntry& want = expected[next++];
          Check(entry.number == want.number && Same(entry.name, want.name) &&
                Same(entry.section, want.section) && Same(entry.text, want.text));
        });
    if (file.nul) {
      Check(problem == koron::CollectionProblem::kNotText);
    } else {
      Check(problem == koron::CollectionProblem::kNone && next == expected.size());
    }
  }
  return 0;
}
