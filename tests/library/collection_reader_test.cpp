#include "library/collection_reader.h"

#include <gtest/gtest.h>

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "tests/text/scratch_dir.h"
#include "text/code_page_932.h"
#include "text/line_reader.h"

namespace koron {
namespace {

using testing::ScratchDir;

std::string Utf8(std::u16string_view text) {
  std::string out(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &length,
              reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
              &error);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

// Entries as "N<name><section>text", each CR LF of the text as "/", joined by spaces.
std::string Dump(const CollectionEntry& entry) {
  std::string text = Utf8(entry.text);
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "/");
  return std::to_string(entry.number) + "<" + Utf8(entry.name) + "><" + Utf8(entry.section) + ">" +
         text;
}

// The encodings the list files are read in.
enum class Encoding { kCp932, kUtf8, kUtf8Mark, kUtf16Le, kUtf16Be };

std::string Encode(const std::string& utf8, Encoding encoding, const char* lineEnd) {
  std::string lines;
  for (char c : utf8) {
    if (c == '\n') {
      lines += lineEnd;
    } else {
      lines += c;
    }
  }
  if (encoding == Encoding::kUtf8) return lines;
  if (encoding == Encoding::kUtf8Mark) return "\xEF\xBB\xBF" + lines;
  if (encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) {
    std::u16string text(lines.size(), u'\0');
    int32_t length = 0;
    UErrorCode error = U_ZERO_ERROR;
    u_strFromUTF8(reinterpret_cast<UChar*>(text.data()), static_cast<int32_t>(text.size()), &length,
                  lines.data(), static_cast<int32_t>(lines.size()), &error);
    text.resize(static_cast<std::size_t>(length));
    return testing::Utf16File(text, encoding == Encoding::kUtf16Be);
  }
  std::string out(lines.size() * 2 + 2, '\0');
  UErrorCode error = U_ZERO_ERROR;
  out.resize(static_cast<std::size_t>(ucnv_convert(kCp932ConverterName, "UTF-8", out.data(),
                                                   static_cast<int32_t>(out.size()), lines.data(),
                                                   static_cast<int32_t>(lines.size()), &error)));
  EXPECT_TRUE(U_SUCCESS(error)) << u_errorName(error);
  return out;
}

struct FileCase {
  const char* name;
  CollectionFormat format;
  const char* lines;    // UTF-8, each "\n" a line end of the parameter
  const char* entries;  // as Dump gives them
  bool decode = true;
};

constexpr auto kMlt = CollectionFormat::kMlt;
constexpr auto kAst = CollectionFormat::kAst;
constexpr auto kText = CollectionFormat::kText;

class CollectionFile
    : public ::testing::TestWithParam<std::tuple<FileCase, Encoding, const char*>> {};

TEST_P(CollectionFile, ListsEntries) {
  const auto& [c, encoding, lineEnd] = GetParam();
  const std::string bytes = Encode(c.lines, encoding, lineEnd);
  const CollectionReadOptions options{c.format, u"pic", c.decode};
  std::string got;
  const auto take = [&got](CollectionEntry& entry) {
    got += (got.empty() ? "" : " ") + Dump(entry);
  };
  ScratchDir dir;
  EXPECT_EQ(ReadCollectionFile(dir.Write("c", bytes), options, take), CollectionProblem::kNone);
  EXPECT_EQ(got, c.entries);
  // Through chunks of a few bytes, which meet every boundary.
  got.clear();
  LineReader reader(3);
  ASSERT_TRUE(reader.OpenBytes(bytes));
  EXPECT_EQ(ReadCollection(reader, options, take), CollectionProblem::kNone);
  EXPECT_EQ(got, c.entries);
}

std::string CaseName(const ::testing::TestParamInfo<CollectionFile::ParamType>& info) {
  static const char* const kEncodings[] = {"Cp932", "Utf8", "Utf8Mark", "Utf16Le", "Utf16Be"};
  const std::string ends = std::get<2>(info.param);
  return std::string(std::get<0>(info.param).name) +
         kEncodings[static_cast<int>(std::get<1>(info.param))] +
         (ends == "\r\n" ? "CrLf"
          : ends == "\n" ? "Lf"
                         : "Cr");
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CollectionFile,
    ::testing::Combine(
        ::testing::Values(
            FileCase{"MltPages", kMlt, "a\n[SPLIT]\nb\n[SPLIT] rest\nc", "1<><>a/ 2<><>b/ 3<><>c/"},
            FileCase{"MltEmptyPagesNumbered", kMlt, "[SPLIT]\n[SPLIT]\nb\n[SPLIT]", "3<><>b/"},
            FileCase{"MltEmpty", kMlt, "", ""},
            FileCase{"MltNoSplits", kMlt, "[SPLIT\n [SPLIT]\n[split]\nx",
                     "1<><>[SPLIT/ [SPLIT]/[split]/x/"},
            FileCase{"MltBlankPages", kMlt, " \n\t\n[SPLIT]\n\u3000\n\n[SPLIT]\n x\n", "3<><> x/"},
            FileCase{"MltHeadings", kMlt,
                     "【一】 \n\n[SPLIT]\nx\n[SPLIT]\n\u3000【二】\u3000\n y \n[SPLIT]\ny\n"
                     "[SPLIT]\n【a\nb\nc\n[SPLIT]\nz\n【b",
                     "2<><【一】>x/ 4<><【二】>y/ 5<><【二】>【a/b/c/ 6<><【二】>z/【b/"},
            // Markers are read before references, blank lines and headings after them.
            FileCase{"MltReferences", kMlt,
                     "&#91;SPLIT]\n&#32;\n[SPLIT]\n&#12288;\n[SPLIT]\n&#x3010;題\n[SPLIT]\n&#65;",
                     "1<><>[SPLIT]/ / 4<><【題>A/"},
            FileCase{
                "AstEntries", kAst,
                "before\n[AA][やる夫]\nx\n[AA][]\n[AA][ b ]\ny\n[AA]x]\n[AA][c\n[aa][d]\n[AA][ゾ",
                "1<やる夫><>x/ 3< b ><>y/[AA]x]/[AA][c/[aa][d]/[AA][ゾ/"},
            FileCase{"AstBlankEntry", kAst, "[AA][a]\n\u3000\n[AA][b]\nx", "2<b><>x/"},
            FileCase{"AstReferences", kAst, "[AA][&#65;&#x42;]\n&#xff21;", "1<AB><>Ａ/"},
            FileCase{"TextList", kText, "before\n[a]\nx\n[]\n\n[b]\ny\n[AA][c]\nz",
                     "1<a><>x/ 3<b><>y/ 4<AA][c><>z/"},
            FileCase{"TextPlain", kText, "x\n\n[a\ny]\n[ゾ\n", "1<pic><>x//[a/y]/[ゾ/"},
            FileCase{"TextBlankPlain", kText, " \n\n", ""},
            FileCase{"TextNoHeadings", kText, "[a]\n【b】", "1<a><>【b】/"},
            FileCase{"ListKeepsReferences", kText, "[&#65;]\n&#65;", "1<&#65;><>&#65;/", false}),
        ::testing::Values(Encoding::kCp932, Encoding::kUtf8, Encoding::kUtf8Mark,
                          Encoding::kUtf16Le, Encoding::kUtf16Be),
        ::testing::Values("\r\n", "\n", "\r")),
    CaseName);

TEST(CharacterReferences, DecodeOnlyWellFormedScalarValues) {
  const std::pair<std::u16string, std::u16string> kCases[] = {
      {u"&#65;&#x42;&#X43;", u"ABC"},
      {u"&#xaBc;", u"\u0ABC"},
      {u"&#0000065;", u"A"},
      {u"&#00000065;", u"&#00000065;"},  // eight digits
      {u"&#x10FFFF;&#128512;", u"\U0010FFFF\U0001F600"},
      {u"&#x0000041;", u"&#x0000041;"},  // seven hex digits
      {u"&#0;&#x0;", u"&#0;&#x0;"},
      {u"&#x110000;&#1114112;", u"&#x110000;&#1114112;"},
      {u"&#xD800;&#57343;", u"&#xD800;&#57343;"},
      {u"&#x;&#;&#X;", u"&#x;&#;&#X;"},
      {u"&#65&#65 ;&#xG1;& #65;", u"&#65&#65 ;&#xG1;& #65;"},
      {u"&&#65;&#&#66;x", u"&A&#Bx"},
  };
  for (const auto& [in, out] : kCases) {
    std::u16string text = in;
    DecodeCharacterReferences(text);
    EXPECT_EQ(text, out) << Utf8(in);
  }
}

TEST(CollectionFormat, FromTheNameEnding) {
  EXPECT_EQ(FormatOfPath("AA/a.mlt"), kMlt);
  EXPECT_EQ(FormatOfPath("A.MLT"), kMlt);
  EXPECT_EQ(FormatOfPath("b.AsT"), kAst);
  EXPECT_EQ(FormatOfPath("c.Txt"), kText);
  for (const char* other : {"d.txt.bak", "mlt", "e.ml", "fmlt", ""}) {
    EXPECT_EQ(FormatOfPath(other), std::nullopt) << other;
  }
}

TEST(CollectionFile, Problems) {
  ScratchDir dir;
  // Sparse files: NUL bytes after a first line that holds one.
  const std::string atLimit = dir.Write("limit.mlt", std::string("\0\r\n", 3));
  std::filesystem::resize_file(atLimit, kMaxCollectionFileBytes);
  const std::string overLimit = dir.Write("over.mlt", "a\r\n");
  std::filesystem::resize_file(overLimit, kMaxCollectionFileBytes + 1);
  std::filesystem::create_directory(dir.Path("folder.mlt"));
  const std::pair<std::string, CollectionProblem> kCases[] = {
      {dir.Path("missing.mlt"), CollectionProblem::kUnreadable},
      {dir.Path("folder.mlt"), CollectionProblem::kUnreadable},
      {overLimit, CollectionProblem::kTooLarge},
      {atLimit, CollectionProblem::kNotText},
      {dir.Write("nul.mlt", std::string("\xE3\x81\x82\n[SPLIT]\na\0", 14)),
       CollectionProblem::kNotText},
  };
  for (const auto& [path, problem] : kCases) {
    EXPECT_EQ(ReadCollectionFile(path, {kMlt, u"", true}, [](CollectionEntry&) {}), problem)
        << path;
  }
}

}  // namespace
}  // namespace koron
