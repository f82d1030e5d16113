#pragma once

#include <cstdint>
#include <string>

#include "composer/picture_lines.h"
#include "composer/procession_choices.h"

namespace koron {

// The longest picture, in UTF-16 code units, that the window builds and shows, and that the
// command line prints; a longer one is refused. A count can be typed up to 2147483647, and the
// text box lays out a line in time growing with its length: on a 2-core machine a picture at
// this limit takes 0.15 s (marchers) to 0.55 s (sign bearers, the slowest row) of processor time
// to show, and the time grows in step with the length. Measured with bench_press.
inline constexpr std::uint64_t kMaxPictureLength = 200'000;

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
