#include "composer/composer.h"

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "composer/fragments.h"
#include "composer/procession_rows.h"

namespace koron {
namespace {

// A picture of a few million figures needs tens of megabytes of fresh memory, and touching it
// page by page costs several times as much as writing the text into it. Asking for huge pages
// turns thousands of page faults into a few; where they are not offered the advice is ignored.
void AdviseHugePages([[maybe_unused]] const char16_t* data, [[maybe_unused]] std::size_t units) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + units * sizeof(char16_t)) & ~(kHugePage - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace

LineLengths PictureLineLengths(const ProcessionChoices& choices) {
  LineLengths lengths{TopLineStart.size(), FaceLineStart.size(), BodyLineStart.size(),
                      LegLineStart.size()};
  lengths += MarcherRowLength(choices);
  lengths += CheererRowLength(choices);
  lengths += SignBearerRowLength(choices);
  return lengths;
}

std::uint64_t PictureLength(const ProcessionChoices& choices) {
  const LineLengths lengths = PictureLineLengths(choices);
  return lengths.Top + lengths.Face + lengths.Body + lengths.Leg + 3 * LineBreak.size();
}

// Gives the same text as starting the lines, appending the three rows and JoinPicture, but the
// lines follow one another in the result, so each is written straight into its place in storage
// reserved once for the whole picture: no line is copied a second time by a join.
std::u16string ComposePicture(const ProcessionChoices& choices) {
  std::u16string picture;
  picture.reserve(static_cast<std::size_t>(PictureLength(choices)));
  AdviseHugePages(picture.data(), picture.capacity());

  picture.append(TopLineStart);
  AppendMarcherEars(picture, choices);
  picture.append(LineBreak);

  picture.append(FaceLineStart);
  AppendMarcherFaces(picture, choices);
  picture.append(LineBreak);

  picture.append(BodyLineStart);
  AppendMarcherBodies(picture, choices);
  AppendCheererBodies(picture, choices);
  AppendSignBearerBodies(picture, choices);
  picture.append(LineBreak);

  picture.append(LegLineStart);
  AppendMarcherLegs(picture, choices);
  AppendCheererLegs(picture, choices);
  AppendSignBearerLegs(picture, choices);
  return picture;
}

std::u16string PlaceOutput(const std::u16string& picture, const std::u16string& templateName,
                           bool templateOnly, const std::u16string& templateBody) {
  if (templateOnly) return templateName.empty() ? std::u16string() : templateBody;
  if (templateName.empty()) return picture;
  std::u16string text;
  text.reserve(picture.size() + 2 * LineBreak.size() + templateBody.size());
  text.append(picture).append(LineBreak).append(LineBreak).append(templateBody);
  return text;
}

}  // namespace koron
