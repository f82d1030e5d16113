#pragma once

#include <QString>
#include <string>

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
// `folder`; an error when the picture would pass the window's length limit.
CliText PrintText(const CliOptions& options, const QString& folder);

// The body of template `name` in the panel's list of `folder`; an error when it has none.
CliText ShowText(const QString& name, const QString& folder);

// The names of list 1 or 2 of `folder`, in UTF-8, each followed by a line feed.
std::string ListText(int listNumber, const QString& folder);

// The bytes of `text` in `encoding`; false, with the character and its line in `error`, when
// code page 932 has no form for a character.
bool EncodeText(const std::u16string& text, CliEncoding encoding, std::string* bytes,
                QString* error);

// Carries out --print, --show or --list: the text (or its widths, or a PNG file) and messages on
// standard error. Returns the exit status.
int RunOutput(const CliOptions& options, const QString& folder);

}  // namespace koron
