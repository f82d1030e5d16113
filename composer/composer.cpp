#include "composer/composer.h"

namespace koron {

std::uint64_t PictureLength(const ProcessionChoices&) { return 0; }
std::u16string ComposePicture(const ProcessionChoices&) { return {}; }
std::u16string PlaceOutput(const std::u16string&, const std::u16string&, bool,
                           const std::u16string&) {
  return {};
}

}  // namespace koron
