#pragma once

#include <QString>

#include "render/text_art.h"

namespace koron {

// Why a PNG was not saved, in one English sentence for the command line.
QString DescribeInEnglish(const PngSaveFailure& failure);

}  // namespace koron
