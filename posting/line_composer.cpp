#include "posting/line_composer.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <array>
#include <limits>

namespace koron {
namespace {

const UNormalizer2* Nfc() {
  static const UNormalizer2* const nfc = [] {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* instance = unorm2_getNFCInstance(&error);
    return U_SUCCESS(error) ? instance : nullptr;
  }();
  return nfc;
}

// One bit for each code unit that is NFC alone, composes with nothing before it and is no mark
// (nor a surrogate). A line of such units is its own NFC and measured as it stands: a bit test
// per unit, much cheaper than ICU's quick check, which looks each code point up in a trie.
class PlainUnits {
 public:
  explicit PlainUnits(const UNormalizer2* nfc) {
    for (UChar32 c = 0; c < 0x10000; ++c) {
      const UChar unit = static_cast<UChar>(c);
      UErrorCode error = U_ZERO_ERROR;
      const bool plain = !U_IS_SURROGATE(c) && !IsCombiningMark(static_cast<char32_t>(c)) &&
                         unorm2_hasBoundaryBefore(nfc, c) &&
                         unorm2_isNormalized(nfc, &unit, 1, &error) && U_SUCCESS(error);
      if (plain) bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
  }

  bool AllPlain(std::u16string_view line) const {
    std::uint64_t all = 1;
    for (const char16_t unit : line) all &= bits_[unit >> 6] >> (unit & 63);
    return (all & 1) != 0;
  }

 private:
  std::array<std::uint64_t, 0x10000 / 64> bits_{};
};

const PlainUnits* Plain() {
  static const PlainUnits* const plain = Nfc() == nullptr ? nullptr : new PlainUnits(Nfc());
  return plain;
}

}  // namespace

bool IsCombiningMark(char32_t c) {
  const std::int8_t type = u_charType(static_cast<UChar32>(c));
  return type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK;
}

std::u16string_view LineComposer::Compose(std::u16string_view line) {
  const PlainUnits* plain = Plain();
  mayHoldMarks_ = plain == nullptr || !plain->AllPlain(line);
  if (!mayHoldMarks_ ||
      line.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() - 16)) {
    return line;
  }
  const auto* units = reinterpret_cast<const UChar*>(line.data());
  const auto length = static_cast<int32_t>(line.size());
  // NFC rarely grows a line; when it does, ICU says by how much and the second try fits.
  buffer_.resize(line.size() + 16);
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    const int32_t composed =
        unorm2_normalize(Nfc(), units, length, reinterpret_cast<UChar*>(buffer_.data()),
                         static_cast<int32_t>(buffer_.size()), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      buffer_.resize(static_cast<std::size_t>(composed));
      continue;
    }
    if (U_FAILURE(error)) break;
    return std::u16string_view(buffer_.data(), static_cast<std::size_t>(composed));
  }
  return line;
}

}  // namespace koron
