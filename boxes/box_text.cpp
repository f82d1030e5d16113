#include "boxes/box_text.h"

#include <optional>
#include <utility>

#include "composer/composer.h"
#include "templates/template_list.h"
#include "text/line_reader.h"

namespace koron {
namespace {

BoxOutcome Refuse(BoxOutcome result, BoxOutcome::Refusal refusal, std::uint64_t length) {
  result.refused = refusal;
  result.length = length;
  result.text.clear();
  return result;
}

// The body of `name` within `limit` (nullopt past it) into `found`; an unreadable list gives no
// body, and says why in `result`.
void FindBody(std::u16string_view name, const std::string& listPath, std::uint64_t limit,
              std::optional<std::u16string>& found, BoxOutcome& result) {
  found = std::u16string();
  if (name.empty()) return;
  LineReader reader;
  result.listProblem = OpenListFile(reader, listPath);
  if (result.listProblem != ListFileProblem::kNone) return;
  found = FindTemplateBodyWithin(reader, name, limit);
  if (reader.failed()) {
    result.listProblem = ListFileProblem::kReadFailed;
    found = std::u16string();
  }
}

}  // namespace

BoxOutcome PictureBoxText(const ProcessionChoices& choices, const std::string& listPath,
                          std::uint64_t limit) {
  BoxOutcome result;
  std::optional<std::u16string> body;
  FindBody(choices.TemplateName, listPath, limit, body, result);
  result.noTemplateBody = !choices.TemplateName.empty() && body && body->empty();
  if (!body) return Refuse(std::move(result), BoxOutcome::Refusal::kTemplateTooLong, limit + 1);

  if (choices.TemplateOnly) {
    result.text = PlaceOutput({}, choices.TemplateName, true, *body);
    return result;
  }
  const std::uint64_t length = PictureLength(choices);
  if (length > limit) return Refuse(std::move(result), BoxOutcome::Refusal::kTextTooLong, length);
  result.text = PlaceOutput(ComposePicture(choices), choices.TemplateName, false, *body);
  if (result.text.size() > limit) {
    const std::uint64_t outputLength = result.text.size();
    return Refuse(std::move(result), BoxOutcome::Refusal::kTextTooLong, outputLength);
  }
  return result;
}

BoxOutcome PanelBoxText(std::u16string_view name, const std::string& listPath,
                        std::uint64_t limit) {
  BoxOutcome result;
  std::optional<std::u16string> body;
  FindBody(name, listPath, limit, body, result);
  result.noTemplateBody = !name.empty() && body && body->empty();
  if (!body) return Refuse(std::move(result), BoxOutcome::Refusal::kTemplateTooLong, limit + 1);
  result.text = std::move(*body);
  return result;
}

BoxOutcome EntryBoxText(std::u16string body, std::uint64_t limit) {
  BoxOutcome result;
  if (body.size() > limit)
    return Refuse(std::move(result), BoxOutcome::Refusal::kTemplateTooLong, limit + 1);
  result.text = std::move(body);
  return result;
}

}  // namespace koron
