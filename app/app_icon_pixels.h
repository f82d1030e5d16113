#pragma once

namespace koron {

// One size of the icon as 32-bit ARGB pixels (not premultiplied), row by row; generated at build
// time from the PNG files in resources/.
struct IconPixels {
  int size;
  const unsigned int* argb;
};

extern const IconPixels kIconPixels[];
extern const int kIconPixelsCount;

}  // namespace koron
