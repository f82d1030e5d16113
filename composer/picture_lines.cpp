#include "composer/picture_lines.h"

#include "composer/fragments.h"

namespace koron {

LineLengths& LineLengths::operator+=(const LineLengths& other) {
  Top += other.Top;
  Face += other.Face;
  Body += other.Body;
  Leg += other.Leg;
  return *this;
}

PictureLines StartPictureLines() {
  return PictureLines{std::u16string(TopLineStart), std::u16string(FaceLineStart),
                      std::u16string(BodyLineStart), std::u16string(LegLineStart)};
}

std::u16string JoinPicture(const PictureLines& lines) {
  std::u16string picture;
  picture.reserve(lines.TopLine.size() + lines.FaceLine.size() + lines.BodyLine.size() +
                  lines.LegLine.size() + 3 * LineBreak.size());
  picture.append(lines.TopLine).append(LineBreak);
  picture.append(lines.FaceLine).append(LineBreak);
  picture.append(lines.BodyLine).append(LineBreak);
  picture.append(lines.LegLine);
  return picture;
}

}  // namespace koron
