#include "boxes/box_text.h"

#include <gtest/gtest.h>

#include <string>

#include "composer/composer.h"
#include "tests/text/scratch_dir.h"

namespace koron {
namespace {

using Refusal = BoxOutcome::Refusal;

std::uint64_t ComposedLength(int marchers) {
  ProcessionChoices choices;
  choices.MarcherCount = marchers;
  return PictureLength(choices);
}

// What each compose button puts in its box, or refuses, for one small list and a limit of 30.
TEST(BoxText, RefusesWhatPassesTheLimitAndNothingElse) {
  testing::ScratchDir dir;
  const std::string list = dir.Write(
      "list.txt", "[short]\r\nab\r\n[long]\r\n" + std::string(40, 'x') + "\r\n[none]\r\n");
  const struct Row {
    int marchers;
    const char16_t* name;
    bool templateOnly;
    const char* listFile;
    Refusal refused;
    std::u16string text;  // the picture's text is checked by its own tests: empty means "any"
    ListFileProblem problem;
    bool noBody;
  } rows[] = {
      {0, u"", false, "list.txt", Refusal::kNone, u"", ListFileProblem::kNone, false},
      {0, u"short", true, "list.txt", Refusal::kNone, u"ab\r\n", ListFileProblem::kNone, false},
      // A template too long is refused first, even with a picture too long.
      {40, u"long", false, "list.txt", Refusal::kTemplateTooLong, u"", ListFileProblem::kNone,
       false},
      {40, u"", false, "list.txt", Refusal::kTextTooLong, u"", ListFileProblem::kNone, false},
      {40, u"short", true, "list.txt", Refusal::kNone, u"ab\r\n", ListFileProblem::kNone, false},
      {0, u"none", true, "list.txt", Refusal::kNone, u"", ListFileProblem::kNone, true},
      {0, u"short", true, "missing.txt", Refusal::kNone, u"", ListFileProblem::kMissing, true},
      // The list is not opened when no template is chosen.
      {0, u"", true, "missing.txt", Refusal::kNone, u"", ListFileProblem::kNone, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.marchers) + " " + row.listFile);
    ProcessionChoices choices;
    choices.MarcherCount = row.marchers;
    choices.TemplateName = row.name;
    choices.TemplateOnly = row.templateOnly;
    const BoxOutcome box = PictureBoxText(choices, dir.Path(row.listFile), 30);
    EXPECT_EQ(box.refused, row.refused);
    if (row.templateOnly) {
      EXPECT_EQ(box.text, row.text);
    }
    EXPECT_EQ(box.refused == Refusal::kNone, !box.text.empty() || row.templateOnly);
    EXPECT_EQ(box.listProblem, row.problem);
    EXPECT_EQ(box.noTemplateBody, row.noBody);
    EXPECT_EQ(box.length, row.refused == Refusal::kNone ? 0u
                          : row.refused == Refusal::kTemplateTooLong
                              ? 31u
                              : ComposedLength(row.marchers));

    const BoxOutcome panel = PanelBoxText(row.name, dir.Path(row.listFile), 30);
    EXPECT_EQ(panel.refused,
              std::u16string(row.name) == u"long" ? Refusal::kTemplateTooLong : Refusal::kNone);
    EXPECT_EQ(panel.listProblem, row.problem);
  }
  EXPECT_EQ(PanelBoxText(u"long", list, kNoLengthLimit).text.size(), 42u);

  // A library entry is shown as the same body read from a list would be.
  for (const std::uint64_t size : {30u, 31u}) {
    const BoxOutcome entry = EntryBoxText(std::u16string(size, u'x'), 30);
    EXPECT_EQ(entry.refused, size > 30 ? Refusal::kTemplateTooLong : Refusal::kNone);
    EXPECT_EQ(entry.length, size > 30 ? 31u : 0u);
    EXPECT_EQ(entry.text.size(), size > 30 ? 0u : size);
  }
}

}  // namespace
}  // namespace koron
