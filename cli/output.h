#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace koron {

// A text that --print or --show writes, or why there is none (`ok` false, with `error`).
// `warning` tells of something the user may not have meant, without failing the run.
struct CliText {
  bool ok = true;
  std::u16string text;
  QString error;
  QString warning;
};

// What the left compose button puts in its box for these choices, with the list files of
// `folder`; an error where the button refuses (a text past the window's length limit), and when
// the template's list cannot be read or names no such template.
CliText PrintText(const CliOptions& options, const QString& folder);

// The body of template `name` in the panel's list of `folder`; an error when it has none, with
// the reason: the list cannot be read, names no such template, or it has no body lines.
CliText ShowText(const QString& name, const QString& folder);

// The names of `list` of `folder` in `text`, in UTF-8, each followed by a line feed (none
// for a file without names). False, with the reason in `error`, when the file cannot be read.
bool ListText(TemplateList list, const QString& folder, std::string* text, QString* error);

// The bytes of `text` in `encoding`; false, with the character and its line in `error`, when
// code page 932 has no form for a character.
bool EncodeText(std::u16string_view text, CliEncoding encoding, std::string* bytes, QString* error);

// Carries out --print, --show or --list: the text (or its widths, or a PNG file) and messages on
// standard error. Returns the exit status.
int RunOutput(const CliOptions& options, const QString& folder);

}  // namespace koron
