#pragma once

#include <string>

namespace koron {

class LineReader;

// Why a template list file gives no names, for the words that tell the user.
enum class ListFileProblem {
  kNone,
  kMissing,          // no such file, or a folder on its path is missing
  kFolder,           // a folder stands in the file's place
  kNotARegularFile,  // a device, a pipe or a socket: never read, as it could block or never end
  kNoPermission,
  kReadFailed,  // reading it failed, at its beginning or part way through
};

// Opens `path` on `reader` as ListTemplateNames and FindTemplateBody open it; when that fails,
// why. After reading, a caller reports reader.failed() as kReadFailed.
ListFileProblem OpenListFile(LineReader& reader, const std::string& path);

}  // namespace koron
