#include "composer/composer.h"

#include <cstddef>

#include "composer/fragments.h"
#include "composer/procession_rows.h"

namespace koron {

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
