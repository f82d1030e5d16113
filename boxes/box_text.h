#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "composer/procession_choices.h"
#include "templates/list_file.h"

namespace koron {

// A limit no text reaches: the whole body, however long.
inline constexpr std::uint64_t kNoLengthLimit = UINT64_MAX;

// What a compose button puts in its box, or what it refuses. The window and the command line
// both ask here, and only word the answer.
struct BoxOutcome {
  enum class Refusal {
    kNone,
    kTemplateTooLong,  // the template's body passes the limit; it was not read to its end
    kTextTooLong,      // the picture, or the picture with its template, passes the limit
  };
  Refusal refused = Refusal::kNone;
  // The refused text's length in UTF-16 code units. For a template, only that it is longer than
  // the limit is known: limit + 1.
  std::uint64_t length = 0;
  std::u16string text;  // the box's new text when nothing is refused
  // The template's list could not be read. The text is what the window shows then: the template
  // counted as one without body lines.
  ListFileProblem listProblem = ListFileProblem::kNone;
  // A template is named, but no entry of that name has body lines, or its list could not be read.
  bool noTemplateBody = false;
};

// The left compose button: the picture for `choices`, its template taken from the list file at
// `listPath`; refused past `limit`. A template too long is refused first, whatever else is
// chosen; with TemplateOnly the picture is not built.
BoxOutcome PictureBoxText(const ProcessionChoices& choices, const std::string& listPath,
                          std::uint64_t limit);

// The right compose button: the body of template `name` of the list file at `listPath`; refused
// past `limit`. An empty name gives the empty text without opening the file.
BoxOutcome PanelBoxText(std::u16string_view name, const std::string& listPath, std::uint64_t limit);

// The right compose button's outcome for a picture already read (from the library): `body` as
// a template's body is shown, refused as a template too long past `limit`.
BoxOutcome EntryBoxText(std::u16string body, std::uint64_t limit);

}  // namespace koron
