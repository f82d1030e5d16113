#pragma once

#include <QString>

#include "cli/options.h"
#include "cli/output.h"

namespace koron {

// Carries out --library, --search and --library-errors on the library of `folder`. Returns the
// exit status: 1 when a search finds nothing, as grep has it.
int RunLibrary(const CliOptions& options, const QString& folder);

// The text of the entry --entry names, or why there is none.
CliText LibraryEntryText(const CliOptions& options, const QString& folder);

}  // namespace koron
