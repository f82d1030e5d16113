#include "templates/template_list.h"

#include "text/line_reader.h"

namespace koron {
namespace {

// A header line begins with "[" and ends with "]". Judged on bytes first: "[" and "]" are single
// bytes that no other character starts with, so a line failing this test cannot be a header and
// need not be converted. A last byte 0x5D may still be the second half of a double-byte
// character, which only the converted text tells.
bool MayBeHeader(std::string_view raw) {
  return raw.size() >= 2 && raw.front() == '[' && raw.back() == ']';
}

// Converts `raw` into `line` when it may be a header; true when it is one.
bool ReadHeader(LineReader& reader, std::string_view raw, std::u16string& line) {
  if (!MayBeHeader(raw)) return false;
  reader.Decode(raw, line);
  return line.size() >= 2 && line.front() == u'[' && line.back() == u']';
}

std::u16string_view NameOf(const std::u16string& header) {
  return std::u16string_view(header).substr(1, header.size() - 2);
}

}  // namespace

std::vector<std::u16string> ListTemplateNames(LineReader& reader) {
  std::vector<std::u16string> names;
  std::u16string line;
  std::string_view raw;
  while (reader.NextRawLine(raw)) {
    if (ReadHeader(reader, raw, line)) names.emplace_back(NameOf(line));
  }
  if (reader.failed()) return {};
  return names;
}

std::u16string FindTemplateBody(LineReader& reader, std::u16string_view name) {
  std::u16string body;
  if (name.empty()) return body;  // never looked up, though "[]" names it
  std::u16string line;
  std::string_view raw;
  bool collecting = false;
  while (reader.NextRawLine(raw)) {
    const bool header = ReadHeader(reader, raw, line);
    if (!collecting) {
      collecting = header && NameOf(line) == name;
      continue;
    }
    if (header) {
      if (!body.empty()) break;
      // An entry without body lines is passed over; the header that ended it is not a candidate.
      collecting = false;
      continue;
    }
    reader.Decode(raw, line);
    body += line;
    body += u"\r\n";
  }
  if (reader.failed()) return {};
  return body;
}

std::vector<std::u16string> ListTemplateNames(const std::string& path) {
  LineReader reader;
  if (!reader.Open(path)) return {};
  return ListTemplateNames(reader);
}

std::u16string FindTemplateBody(const std::string& path, std::u16string_view name) {
  if (name.empty()) return {};
  LineReader reader;
  if (!reader.Open(path)) return {};
  return FindTemplateBody(reader, name);
}

}  // namespace koron
