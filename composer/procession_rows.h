#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "composer/picture_lines.h"
#include "composer/procession_choices.h"

namespace koron {

// What one marcher adds to each of the four lines; the face text follows the spacer.
struct MarcherFragments {
  std::u16string_view Ears;
  std::u16string_view Spacer;
  std::u16string_view Body;
  std::u16string_view Legs;
};

// What one cheering figure or sign bearer adds to the body and leg lines.
struct FigureFragments {
  std::u16string_view Body;
  std::u16string_view Legs;
};

// The rows that apply to figure number `figure` (1 for the first) of each row.
MarcherFragments MarcherRow(std::int64_t figure, std::int16_t faceIndex);
FigureFragments CheererRow(std::int64_t figure, std::int32_t marcherCount);
FigureFragments SignBearerRow(std::int64_t figure, std::int32_t marcherCount,
                              std::int32_t cheerCount);

// The face every marcher wears: the first five code units of the face item's text.
std::u16string_view MarcherFace(const ProcessionChoices& choices);

// Code units each row adds to each line, from the counts alone.
LineLengths MarcherRowLength(const ProcessionChoices& choices);
LineLengths CheererRowLength(const ProcessionChoices& choices);
LineLengths SignBearerRowLength(const ProcessionChoices& choices);

// Append one row to all four lines.
void AppendMarchers(PictureLines& lines, const ProcessionChoices& choices);
void AppendCheerers(PictureLines& lines, const ProcessionChoices& choices);
void AppendSignBearers(PictureLines& lines, const ProcessionChoices& choices);

// Append one row's part of a single line, so that a picture can be written line after line
// straight into its final storage. The marchers' ears are appended only when they wear them.
void AppendMarcherEars(std::u16string& line, const ProcessionChoices& choices);
void AppendMarcherFaces(std::u16string& line, const ProcessionChoices& choices);
void AppendMarcherBodies(std::u16string& line, const ProcessionChoices& choices);
void AppendMarcherLegs(std::u16string& line, const ProcessionChoices& choices);
void AppendCheererBodies(std::u16string& line, const ProcessionChoices& choices);
void AppendCheererLegs(std::u16string& line, const ProcessionChoices& choices);
void AppendSignBearerBodies(std::u16string& line, const ProcessionChoices& choices);
void AppendSignBearerLegs(std::u16string& line, const ProcessionChoices& choices);

}  // namespace koron
