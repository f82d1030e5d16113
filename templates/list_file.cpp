#include "templates/list_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "text/line_reader.h"

namespace koron {

ListFileProblem OpenListFile(LineReader& reader, const std::string& path) {
  errno = 0;
  if (reader.Open(path)) return ListFileProblem::kNone;
  const int openError = errno;
  // The reader refuses without saying why; the file's own state tells.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ListFileProblem::kMissing;
    return errno == EACCES ? ListFileProblem::kNoPermission : ListFileProblem::kReadFailed;
  }
  if (S_ISDIR(info.st_mode)) return ListFileProblem::kFolder;
  if (!S_ISREG(info.st_mode)) return ListFileProblem::kNotARegularFile;
  if (openError == EACCES || openError == EPERM) return ListFileProblem::kNoPermission;
  return ListFileProblem::kReadFailed;
}

}  // namespace koron
