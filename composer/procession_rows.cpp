#include "composer/procession_rows.h"

#include <algorithm>
#include <cstddef>

#include "composer/fragments.h"

namespace koron {
namespace {

// Marchers repeat every four figures with face 0, every three with the others; cheering figures
// every four; sign bearers every two.
std::int64_t MarcherPeriod(std::int16_t faceIndex) { return faceIndex == 0 ? 4 : 3; }
constexpr std::int64_t kCheererPeriod = 4;
constexpr std::int64_t kSignBearerPeriod = 2;

// Repeated text is copied in pieces of about this many code units: small enough to stay in the
// first-level cache while it is read again and again, large enough to make each copy cheap.
constexpr std::size_t kChunkUnits = 4096;

// Appends figures 1..count of one row to one line; appendFigure(line, i) appends figure i's part.
// From figure 2 on the parts repeat every `period` figures, so once one period is written the
// whole periods after it are copied from the line itself rather than assembled figure by figure;
// a long row then costs about as much as copying its text.
template <typename AppendFigure>
void AppendRowLine(std::u16string& line, std::int64_t count, std::int64_t period,
                   AppendFigure appendFigure) {
  if (count < 1) return;
  appendFigure(line, 1);
  std::int64_t next = 2;
  const std::int64_t periods = (count - 1) / period;
  if (periods >= 2) {
    const std::size_t periodStart = line.size();
    for (; next < 2 + period; ++next) appendFigure(line, next);
    const std::size_t periodLength = line.size() - periodStart;
    const std::size_t wanted = periodLength * static_cast<std::size_t>(periods);
    const std::size_t chunkLimit =
        periodLength == 0 ? 0 : std::max(periodLength, kChunkUnits / periodLength * periodLength);
    // Every copy starts at periodStart and, but for the last, is a whole number of periods long,
    // so the text stays in step with the figures.
    for (std::size_t written = periodLength; written < wanted;) {
      const std::size_t piece = std::min({wanted - written, written, chunkLimit});
      line.append(line, periodStart, piece);
      written += piece;
    }
    next = 2 + periods * period;
  }
  for (; next <= count; ++next) appendFigure(line, next);
}

void Reserve(std::u16string& line, std::uint64_t added) {
  line.reserve(line.size() + static_cast<std::size_t>(added));
}

void Reserve(PictureLines& lines, const LineLengths& added) {
  Reserve(lines.TopLine, added.Top);
  Reserve(lines.FaceLine, added.Face);
  Reserve(lines.BodyLine, added.Body);
  Reserve(lines.LegLine, added.Leg);
}

void AddFigures(LineLengths& lengths, const FigureFragments& fragments, std::uint64_t times) {
  lengths.Body += fragments.Body.size() * times;
  lengths.Leg += fragments.Legs.size() * times;
}

}  // namespace

MarcherFragments MarcherRow(std::int64_t figure, std::int16_t faceIndex) {
  if (faceIndex == 0) {
    if (figure == 1) return {EarsSpace, SpacerSpace, BodyFirst, LegsFirst};
    return {EarsPlain, figure % 4 == 0 ? SpacerDot : SpacerNone, BodyDot, LegsDot};
  }
  if (figure == 1) {
    if (faceIndex == 4) return {EarsWide, SpacerSpaceDot, BodyFirst, LegsFirst};
    return {EarsSpace, SpacerSpace, BodyFirst, LegsFirst};
  }
  if (figure % 3 == 0) {
    if (faceIndex == 4) return {EarsDot, SpacerNone, BodyWide, LegsDotWide};
    if (faceIndex == 5) return {EarsSpace, SpacerDot, BodyWide, LegsDotWide};
    return {EarsDot, SpacerDot, BodyWide, LegsDotWide};
  }
  if (faceIndex == 4) return {EarsDot, SpacerDot, BodyWide, LegsWide};
  if (faceIndex == 5) return {EarsSpace, SpacerNone, BodyDotWide, LegsDotWide};
  return {EarsDot, SpacerNone, BodyWide, LegsWide};
}

// Earlier counts are compared with 0 exactly: a negative count draws nothing but is not 0.
FigureFragments CheererRow(std::int64_t figure, std::int32_t marcherCount) {
  if (figure == 1) {
    if (marcherCount == 0) return {CheerFirstAlone, CheerLegsFirstAlone};
    return {CheerBody, CheerLegsFirst};
  }
  return {figure % 4 == 0 ? CheerBodyDots : CheerBody, CheerLegs};
}

FigureFragments SignBearerRow(std::int64_t figure, std::int32_t marcherCount,
                              std::int32_t cheerCount) {
  if (figure == 1) {
    if (marcherCount != 0) return {SignBody, SignLegsAfterMarch};
    if (cheerCount != 0) return {SignBody, SignLegsAfterCheer};
    return {SignFirstAlone, SignLegsFirstAlone};
  }
  if (figure % 2 == 0) return {SignBody, SignLegsEven};
  return {SignBodyDot, SignLegsOdd};
}

std::u16string_view MarcherFace(const ProcessionChoices& choices) {
  return std::u16string_view(choices.FaceText).substr(0, 5);
}

// Each row has a first figure, then figures that are multiples of the period and figures that
// are not; figure 2 stands for the latter, since no period is below 3 where 2 would divide it.
LineLengths MarcherRowLength(const ProcessionChoices& choices) {
  LineLengths lengths;
  if (choices.MarcherCount < 1) return lengths;
  const std::uint64_t count = static_cast<std::uint64_t>(choices.MarcherCount);
  const std::int64_t period = MarcherPeriod(choices.FaceIndex);
  const std::uint64_t multiples = count / static_cast<std::uint64_t>(period);
  const std::uint64_t faceLength = MarcherFace(choices).size();
  const auto add = [&](const MarcherFragments& fragments, std::uint64_t times) {
    if (choices.Ears) lengths.Top += fragments.Ears.size() * times;
    lengths.Face += (fragments.Spacer.size() + faceLength) * times;
    lengths.Body += fragments.Body.size() * times;
    lengths.Leg += fragments.Legs.size() * times;
  };
  add(MarcherRow(1, choices.FaceIndex), 1);
  add(MarcherRow(period, choices.FaceIndex), multiples);
  add(MarcherRow(2, choices.FaceIndex), count - 1 - multiples);
  return lengths;
}

LineLengths CheererRowLength(const ProcessionChoices& choices) {
  LineLengths lengths;
  if (choices.CheerCount < 1) return lengths;
  const std::uint64_t count = static_cast<std::uint64_t>(choices.CheerCount);
  const std::uint64_t multiples = count / kCheererPeriod;
  AddFigures(lengths, CheererRow(1, choices.MarcherCount), 1);
  AddFigures(lengths, CheererRow(kCheererPeriod, choices.MarcherCount), multiples);
  AddFigures(lengths, CheererRow(2, choices.MarcherCount), count - 1 - multiples);
  return lengths;
}

LineLengths SignBearerRowLength(const ProcessionChoices& choices) {
  LineLengths lengths;
  if (choices.SignCount < 1) return lengths;
  const std::uint64_t count = static_cast<std::uint64_t>(choices.SignCount);
  const std::uint64_t evens = count / kSignBearerPeriod;
  const auto row = [&](std::int64_t figure) {
    return SignBearerRow(figure, choices.MarcherCount, choices.CheerCount);
  };
  AddFigures(lengths, row(1), 1);
  AddFigures(lengths, row(2), evens);
  AddFigures(lengths, row(3), count - 1 - evens);
  return lengths;
}

void AppendMarcherEars(std::u16string& line, const ProcessionChoices& choices) {
  if (!choices.Ears) return;
  AppendRowLine(line, choices.MarcherCount, MarcherPeriod(choices.FaceIndex),
                [&](std::u16string& out, std::int64_t i) {
                  out.append(MarcherRow(i, choices.FaceIndex).Ears);
                });
}

void AppendMarcherFaces(std::u16string& line, const ProcessionChoices& choices) {
  const std::u16string_view face = MarcherFace(choices);
  AppendRowLine(line, choices.MarcherCount, MarcherPeriod(choices.FaceIndex),
                [&](std::u16string& out, std::int64_t i) {
                  out.append(MarcherRow(i, choices.FaceIndex).Spacer).append(face);
                });
}

void AppendMarcherBodies(std::u16string& line, const ProcessionChoices& choices) {
  AppendRowLine(line, choices.MarcherCount, MarcherPeriod(choices.FaceIndex),
                [&](std::u16string& out, std::int64_t i) {
                  out.append(MarcherRow(i, choices.FaceIndex).Body);
                });
}

void AppendMarcherLegs(std::u16string& line, const ProcessionChoices& choices) {
  AppendRowLine(line, choices.MarcherCount, MarcherPeriod(choices.FaceIndex),
                [&](std::u16string& out, std::int64_t i) {
                  out.append(MarcherRow(i, choices.FaceIndex).Legs);
                });
}

void AppendCheererBodies(std::u16string& line, const ProcessionChoices& choices) {
  AppendRowLine(line, choices.CheerCount, kCheererPeriod, [&](std::u16string& out, std::int64_t i) {
    out.append(CheererRow(i, choices.MarcherCount).Body);
  });
}

void AppendCheererLegs(std::u16string& line, const ProcessionChoices& choices) {
  AppendRowLine(line, choices.CheerCount, kCheererPeriod, [&](std::u16string& out, std::int64_t i) {
    out.append(CheererRow(i, choices.MarcherCount).Legs);
  });
}

void AppendSignBearerBodies(std::u16string& line, const ProcessionChoices& choices) {
  AppendRowLine(line, choices.SignCount, kSignBearerPeriod,
                [&](std::u16string& out, std::int64_t i) {
                  out.append(SignBearerRow(i, choices.MarcherCount, choices.CheerCount).Body);
                });
}

void AppendSignBearerLegs(std::u16string& line, const ProcessionChoices& choices) {
  AppendRowLine(line, choices.SignCount, kSignBearerPeriod,
                [&](std::u16string& out, std::int64_t i) {
                  out.append(SignBearerRow(i, choices.MarcherCount, choices.CheerCount).Legs);
                });
}

void AppendMarchers(PictureLines& lines, const ProcessionChoices& choices) {
  Reserve(lines, MarcherRowLength(choices));
  AppendMarcherEars(lines.TopLine, choices);
  AppendMarcherFaces(lines.FaceLine, choices);
  AppendMarcherBodies(lines.BodyLine, choices);
  AppendMarcherLegs(lines.LegLine, choices);
}

void AppendCheerers(PictureLines& lines, const ProcessionChoices& choices) {
  Reserve(lines, CheererRowLength(choices));
  AppendCheererBodies(lines.BodyLine, choices);
  AppendCheererLegs(lines.LegLine, choices);
}

void AppendSignBearers(PictureLines& lines, const ProcessionChoices& choices) {
  Reserve(lines, SignBearerRowLength(choices));
  AppendSignBearerBodies(lines.BodyLine, choices);
  AppendSignBearerLegs(lines.LegLine, choices);
}

}  // namespace koron
