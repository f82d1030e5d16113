#pragma once

#include <QString>
#include <string_view>

namespace koron {

// Opens /dev/null on any of descriptors 0, 1 and 2 that the program was started without, so that
// no file opened later takes their place and receives the output. Output to a standard output
// that was closed still fails, as it should. Call first, before anything opens a file.
void GuardStandardStreams();

// Writes all of `bytes` to standard output, however the system splits the writes. A broken pipe
// is an error like any other, not a signal that ends the program. False, with the reason in
// `error`, when not all could be written.
bool WriteStandardOutput(std::string_view bytes, QString* error);

// "koron-aa: " and `message` as one line on standard error. Control characters of names and
// paths inside it are shown as '?', so that the line stays one line.
void WriteErrorLine(const QString& message);

// Sends standard error to /dev/null while it lives: libpng prints its own line there before its
// failure comes back as an error, which is then reported once.
class MutedStandardError {
 public:
  MutedStandardError();
  ~MutedStandardError();
  MutedStandardError(const MutedStandardError&) = delete;
  MutedStandardError& operator=(const MutedStandardError&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace koron
