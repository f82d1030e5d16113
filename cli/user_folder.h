#pragma once

#include <string>
#include <vector>

namespace koron {

// The folder of --user-dir: $XDG_DATA_HOME/koron-aa, or $HOME/.local/share/koron-aa when that
// variable is unset, empty or relative (the base directory rules ignore relative paths). The
// arguments are the variables' values, null when unset.
std::string UserFolderPath(const char* xdgDataHome, const char* home);

// The folder of kept board profiles: $XDG_CONFIG_HOME/koron-aa/boards, or
// $HOME/.config/koron-aa/boards when that variable is unset, empty or relative.
std::string BoardProfileFolderPath(const char* xdgConfigHome, const char* home);

// Where UserFolderPath took the folder from, for messages: "XDG_DATA_HOME", "HOME", or "the user
// database" (the home folder of the password entry).
const char* UserFolderSource(const char* xdgDataHome, const char* home);

// Where the package's data may be installed: the absolute entries of $XDG_DATA_DIRS, in order,
// or /usr/local/share and /usr/share when it names none.
std::vector<std::string> SystemDataDirs(const char* xdgDataDirs);

// Creates `folder` (and its missing parents, private to the user) and copies into it each
// example list (koron-aa/AAList_0N.txt under the first of `dataDirs` that has it) that the
// folder lacks. Then creates its library folder AA/ and copies in the same way each example
// collection (the files of koron-aa/AA/ under `dataDirs`) that AA/ lacks. A file already there
// is never replaced, whatever happens meanwhile, and no half written file is left behind.
// Failures are not errors: the folder is used as far as it exists.
void PrepareUserFolder(const std::string& folder, const std::vector<std::string>& dataDirs);

}  // namespace koron
