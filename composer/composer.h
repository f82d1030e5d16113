#pragma once

#include <cstdint>
#include <string>

#include "composer/picture_lines.h"
#include "composer/procession_choices.h"

namespace koron {

// Code units of each line of the picture ComposePicture would return, from the choices alone.
LineLengths PictureLineLengths(const ProcessionChoices& choices);

// Length in UTF-16 code units of the picture ComposePicture would return; computed from the
// choices alone, without building anything.
std::uint64_t PictureLength(const ProcessionChoices& choices);

// The four-line picture: policeman, marchers, cheering figures, sign bearers, joined by CR LF.
std::u16string ComposePicture(const ProcessionChoices& choices);

// The new text of the output box: the picture, the picture and a template, or the template alone.
std::u16string PlaceOutput(const std::u16string& picture, const std::u16string& templateName,
                           bool templateOnly, const std::u16string& templateBody);

}  // namespace koron
