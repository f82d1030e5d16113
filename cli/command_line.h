#pragma once

#include <QString>

namespace koron {

// What main does after the command line has been read.
struct StartRequest {
  // Open the window, on `folder` (the working folder, absolute). Otherwise end with `exitCode`.
  bool openWindow = false;
  int exitCode = 0;
  QString folder;
  bool openLibrary = false;  // --open-library
};

// Reads the command line before any window exists. Help, version, the output options (--print,
// --show, --list) and usage errors are carried out here, on stdout and stderr, and end the
// program; otherwise it settles the working folder (--dir, --user-dir, or the current directory)
// for the window. Qt's own options (-platform and the rest) are left for the application object.
StartRequest ReadCommandLine(int argc, char** argv);

}  // namespace koron
