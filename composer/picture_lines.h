#pragma once

#include <cstdint>
#include <string>

namespace koron {

// The four lines of a picture, each growing to the right as figures are added.
struct PictureLines {
  std::u16string TopLine;   // the policeman's cap, then the marchers' ears
  std::u16string FaceLine;  // his head, then the marchers' faces
  std::u16string BodyLine;  // his body, then the bodies of every figure
  std::u16string LegLine;   // his legs, then the legs of every figure
};

// Code units per line: what a row adds, or what the lines of a picture hold.
struct LineLengths {
  std::uint64_t Top = 0;
  std::uint64_t Face = 0;
  std::uint64_t Body = 0;
  std::uint64_t Leg = 0;

  LineLengths& operator+=(const LineLengths& other);
};

// The lines of a picture with the policeman alone.
PictureLines StartPictureLines();

// The four lines joined by CR LF, with no line break after the last one.
std::u16string JoinPicture(const PictureLines& lines);

}  // namespace koron
