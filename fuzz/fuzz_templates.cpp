// Template listing and lookup on arbitrary list file bytes, read from memory. Each result is
// checked against a plain version that converts every line, and against a reader that takes the
// bytes in tiny chunks.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "templates/template_list.h"
#include "text/line_reader.h"

namespace {

using Lines = std::vector<std::u16string>;

bool IsHeader(const std::u16string& line) {
  return line.size() >= 2 && line.front() == u'[' && line.back() == u']';
}

std::u16string NameOf(const std::u16string& line) { return line.substr(1, line.size() - 2); }

std::vector<std::u16string> PlainNames(const Lines& lines) {
  std::vector<std::u16string> names;
  for (const std::u16string& line : lines) {
    if (IsHeader(line)) names.push_back(NameOf(line));
  }
  return names;
}

std::u16string PlainBody(const Lines& lines, const std::u16string& name) {
  if (name.empty()) return {};
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::u16string& line = lines[i++];
    if (!IsHeader(line) || NameOf(line) != name) continue;
    std::u16string body;
    while (i < lines.size() && !IsHeader(lines[i])) body += lines[i++] + u"\r\n";
    if (i < lines.size()) ++i;  // the header that ended the entry is consumed
    if (!body.empty()) return body;
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  Lines lines;
  {
    koron::LineReader reader;
    if (!reader.OpenBytes(bytes)) __builtin_trap();
    std::u16string line;
    while (reader.NextLine(line)) lines.push_back(line);
    if (reader.failed()) __builtin_trap();
  }

  const std::size_t chunk = 1 + size % 7;
  koron::LineReader reader;
  koron::LineReader small(chunk);
  if (!reader.OpenBytes(bytes) || !small.OpenBytes(bytes)) __builtin_trap();
  const std::vector<std::u16string> names = koron::ListTemplateNames(reader);
  if (names != PlainNames(lines)) __builtin_trap();
  if (koron::ListTemplateNames(small) != names) __builtin_trap();

  // A few listed names, one never listed and the empty one; the tiny chunks for the first only.
  std::vector<std::u16string> sought(names.begin(),
                                     names.begin() + std::min<std::size_t>(names.size(), 4));
  sought.push_back(u"\uFFFF");
  sought.push_back(u"");
  for (std::size_t i = 0; i < sought.size(); ++i) {
    koron::LineReader one;
    if (!one.OpenBytes(bytes)) __builtin_trap();
    const std::u16string body = koron::FindTemplateBody(one, sought[i]);
    if (body != PlainBody(lines, sought[i])) __builtin_trap();
    if (!body.empty() && body.compare(body.size() - 2, 2, u"\r\n") != 0) __builtin_trap();
    if (i == 0) {
      koron::LineReader tiny(chunk);
      if (!tiny.OpenBytes(bytes) || koron::FindTemplateBody(tiny, sought[i]) != body) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
