#pragma once

// The library of the library benchmarks: 1,000 MLT files of pictures made here, 100 pages each,
// about 100 MB in code page 932. The same seed gives the same library, so that the benchmarks
// of the index and of the window measure the same thing.
#include <unicode/ucnv.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace koron::bench {

// Pieces that pictures are made of, and words that name them.
inline const char16_t* const kPieces[] = {
    u"　", u" ", u"＿", u"￣", u"｜", u"／", u"＼", u"(",  u")",  u"´",  u"・", u"ω",  u"`",  u"ﾉ",
    u"ヽ", u"∀", u"д",  u"ﾟ",  u"○",  u"●",  u"人", u"从", u"彡", u"ミ", u"ﾘ",  u"ヾ", u"（", u"）",
    u"⌒",  u"∩", u"＜", u"＞", u"|",  u"l",  u"i",  u"!",  u"'",  u"、", u"。", u"ー", u"ｰ",  u"─",
    u"┌",  u"┐", u"└",  u"┘",  u"〃", u"ﾞ",  u"ｯ",  u"ﾆ",  u"ﾄ",  u"ﾊ",  u"ヘ", u"く"};
inline const char16_t* const kWords[] = {u"やる夫",   u"やらない夫", u"できる夫", u"ねこ",
                                         u"おはよう", u"ありがとう", u"おにぎり", u"ｼｮﾎﾞｰﾝ",
                                         u"ﾔﾙｵ",      u"ok",         u"AA",       u"Thanks",
                                         u"ｷﾀｰ",      u"だんご",     u"かえる"};

inline std::u16string Page(std::mt19937& random) {
  std::u16string page;
  const int lines = 7 + static_cast<int>(random() % 11);
  for (int l = 0; l < lines; ++l) {
    const int pieces = 12 + static_cast<int>(random() % 30);
    for (int p = 0; p < pieces; ++p) {
      if (random() % 40 == 0) {
        page += kWords[random() % std::size(kWords)];
      } else {
        // Runs of one piece, as pictures have them.
        const std::u16string piece = kPieces[random() % std::size(kPieces)];
        for (unsigned n = random() % 3; n < 3; ++n) page += piece;
      }
    }
    page += u"\r\n";
  }
  return page;
}

inline std::string Cp932(UConverter* converter, const std::u16string& text) {
  std::string out(text.size() * 2 + 16, '\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                    reinterpret_cast<const UChar*>(text.data()),
                                    static_cast<int32_t>(text.size()), &error);
  out.resize(U_SUCCESS(error) ? static_cast<std::size_t>(n) : 0);
  return out;
}

// Writes `files` collection files under work/AA/pack; returns their bytes.
inline std::uint64_t MakeLibrary(const std::string& work, int files) {
  std::filesystem::create_directories(work + "/AA/pack");
  std::mt19937 random(20261208);
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("windows-31j", &error);
  std::uint64_t bytes = 0;
  for (int f = 0; f < files; ++f) {
    std::u16string text;
    for (int p = 0; p < 100; ++p) {
      if (p % 25 == 0) text += u"【第" + std::u16string(1, u'０' + (p / 25)) + u"話】\r\n";
      if (p > 0) text += u"[SPLIT]\r\n";
      text += Page(random);
    }
    const std::string encoded = Cp932(converter, text);
    std::ofstream(work + "/AA/pack/file" + std::to_string(f) + ".mlt", std::ios::binary) << encoded;
    bytes += encoded.size();
  }
  ucnv_close(converter);
  return bytes;
}

}  // namespace koron::bench
