#include "posting/shift_jis_safe.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/uset.h>

#include <vector>

#include "posting/code_points.h"
#include "text/code_page_932.h"
#include "text/icu_converter.h"

namespace koron {
namespace {

// Lead bytes of code page 932 stop at 0xFC, so no form is ever 0xFFFF.
constexpr std::uint16_t kNoForm = 0xFFFF;
constexpr char16_t kReplacement = 0xFFFD;
constexpr std::size_t kBmp = 0x10000;

constexpr std::uint8_t ReferenceLength(char32_t c) {
  std::uint8_t digits = 1;
  for (char32_t rest = c / 10; rest != 0; rest /= 10) ++digits;
  return static_cast<std::uint8_t>(digits + 3);  // "&#" and ";"
}

// Code page 932 as lookup tables over the BMP, taken once from the list reader's converter.
// A table lookup gives the same bytes as the converter (the code page is stateless and ICU maps
// nothing beyond the BMP to it) at a fraction of its cost, which keeps the byte-count readout
// cheap enough to run on every text the window shows.
struct Cp932Tables {
  // The form of each code point: a single byte (below 0x100) or lead << 8 | trail; kNoForm.
  std::vector<std::uint16_t> form;
  // Bytes each code point takes in Shift_JIS-safe text: 1, 2 or the length of its reference.
  // A surrogate's entry is that of a lone one; pairs are counted apart.
  std::vector<std::uint8_t> safeBytes;
};

// Asks ICU for the round-trip forms of all round-trip characters in one conversion.
void ReadRoundTripForms(std::vector<std::uint16_t>& form) {
  UErrorCode error = U_ZERO_ERROR;
  const Converter owned = OpenConverter(kCp932ConverterName, &error);
  UConverter* converter = owned.get();
  USet* set = uset_openEmpty();
  if (U_SUCCESS(error)) ucnv_getUnicodeSet(converter, set, UCNV_ROUNDTRIP_SET, &error);
  std::u16string source;
  if (U_SUCCESS(error)) {
    for (int32_t i = 0, items = uset_getItemCount(set); i < items; ++i) {
      UChar32 start = 0;
      UChar32 end = 0;
      // Capacity 0: a range answers 0 and a string item (never in a code page's set) its length.
      UErrorCode itemError = U_ZERO_ERROR;
      if (uset_getItem(set, i, &start, &end, nullptr, 0, &itemError) != 0) continue;
      for (UChar32 c = start; c <= end && c < static_cast<UChar32>(kBmp); ++c) {
        if (!IsSurrogate(static_cast<char32_t>(c))) source.push_back(static_cast<char16_t>(c));
      }
    }
    // Without fallbacks and stopping at the first surprise: only round-trip forms are wanted.
    ucnv_setFallback(converter, false);
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  }
  std::string bytes(2 * source.size(), '\0');
  std::vector<int32_t> offsets(bytes.size());
  if (U_SUCCESS(error) && !source.empty()) {
    const UChar* from = reinterpret_cast<const UChar*>(source.data());
    char* to = bytes.data();
    ucnv_fromUnicode(converter, &to, bytes.data() + bytes.size(), &from, from + source.size(),
                     offsets.data(), true, &error);
    bytes.resize(static_cast<std::size_t>(to - bytes.data()));
  }
  uset_close(set);
  if (U_FAILURE(error)) return;  // ASCII alone is still right; the rest becomes references

  std::vector<std::uint8_t> lengths(source.size());
  std::vector<std::uint16_t> forms(source.size());
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    const auto index = static_cast<std::size_t>(offsets[k]);
    forms[index] =
        static_cast<std::uint16_t>((forms[index] << 8) | static_cast<std::uint8_t>(bytes[k]));
    ++lengths[index];
  }
  for (std::size_t i = 0; i < source.size(); ++i) {
    const bool single = lengths[i] == 1;
    const bool doubleByte = lengths[i] == 2 && forms[i] >= 0x8100;
    if (single || doubleByte) form[source[i]] = forms[i];
  }
}

Cp932Tables BuildTables() {
  Cp932Tables tables;
  tables.form.assign(kBmp, kNoForm);
  for (char16_t c = 0; c < 0x80; ++c) tables.form[c] = c;
  ReadRoundTripForms(tables.form);
  // ICU's table swaps these three; the list reader passes their bytes through unchanged.
  for (char16_t c = 0; c < 0x80; ++c) {
    if (IsSwappedControl(c)) tables.form[c] = c;
  }
  tables.safeBytes.resize(kBmp);
  for (std::size_t c = 0; c < kBmp; ++c) {
    const std::uint16_t form = tables.form[c];
    tables.safeBytes[c] = IsSurrogate(static_cast<char32_t>(c)) ? ReferenceLength(kReplacement)
                          : form == kNoForm ? ReferenceLength(static_cast<char32_t>(c))
                          : form < 0x100    ? 1
                                            : 2;
  }
  return tables;
}

const Cp932Tables& Tables() {
  static const Cp932Tables tables = BuildTables();
  return tables;
}

// Walks the text by code point. `onForm(c, form)` gets each character code page 932 has;
// `onMissing(c, line)` each one it lacks (a lone surrogate as itself) and may stop the walk by
// returning false.
template <typename OnForm, typename OnMissing>
void Walk(std::u16string_view text, OnForm onForm, OnMissing onMissing) {
  const std::uint16_t* form = Tables().form.data();
  std::size_t line = 1;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    if (text[i] == u'\r' || (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))) ++line;
    const char32_t c = NextCodePoint(text, i);
    if (c < kBmp && form[c] != kNoForm) {
      onForm(static_cast<char16_t>(c), form[c]);
    } else if (!onMissing(c, line)) {
      return;
    }
  }
}

template <typename String>
void AppendReference(char32_t c, String& out) {
  if (IsSurrogate(c)) c = kReplacement;
  char digits[8];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + c % 10);
    c /= 10;
  } while (c != 0);
  out.push_back('&');
  out.push_back('#');
  while (count > 0) out.push_back(static_cast<typename String::value_type>(digits[--count]));
  out.push_back(';');
}

void AppendForm(std::uint16_t form, std::string& out) {
  if (form >= 0x100) out.push_back(static_cast<char>(form >> 8));
  out.push_back(static_cast<char>(form & 0xFF));
}

}  // namespace

const std::uint8_t* ShiftJisSafeBmpBytes() { return Tables().safeBytes.data(); }

std::uint8_t ShiftJisSafeBytes(char32_t c) {
  return c < kBmp ? Tables().safeBytes[c] : ReferenceLength(c);
}

std::uint64_t ShiftJisSafeByteCount(std::u16string_view text) {
  const std::uint8_t* safeBytes = Tables().safeBytes.data();
  std::uint64_t bytes = 0;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const char32_t c = NextCodePoint(text, i);
    // Beyond the BMP nothing has a form: five to seven digits in a reference.
    bytes += c < kBmp ? safeBytes[c] : ReferenceLength(c);
  }
  return bytes;
}

ShiftJisSafeText MakeShiftJisSafe(std::u16string_view text) {
  ShiftJisSafeText safe;
  safe.text.reserve(text.size());
  Walk(
      text,
      [&](char16_t c, std::uint16_t form) {
        safe.text.push_back(c);
        safe.bytes += form < 0x100 ? 1 : 2;
      },
      [&](char32_t c, std::size_t) {
        const std::size_t before = safe.text.size();
        AppendReference(c, safe.text);
        safe.bytes += safe.text.size() - before;
        return true;
      });
  return safe;
}

std::string EncodeShiftJisSafe(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(2 * text.size());
  Walk(
      text, [&](char16_t, std::uint16_t form) { AppendForm(form, bytes); },
      [&](char32_t c, std::size_t) {
        AppendReference(c, bytes);
        return true;
      });
  return bytes;
}

Cp932Encoding EncodeCp932(std::u16string_view text) {
  Cp932Encoding encoding;
  encoding.bytes.reserve(2 * text.size());
  Walk(
      text, [&](char16_t, std::uint16_t form) { AppendForm(form, encoding.bytes); },
      [&](char32_t c, std::size_t line) {
        encoding.ok = false;
        encoding.unmapped = c;
        encoding.line = line;
        return false;
      });
  if (!encoding.ok) encoding.bytes.clear();
  return encoding;
}

}  // namespace koron
