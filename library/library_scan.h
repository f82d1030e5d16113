#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/collection_reader.h"

namespace koron {

// What tells a file changed without reading it.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t mtimeNs = 0;
  std::int64_t ctimeNs = 0;
  bool operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           mtimeNs == other.mtimeNs && ctimeNs == other.ctimeNs;
  }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// One file of a library, named by its path relative to the working folder ("AA/やる夫/基本.mlt").
struct LibraryFile {
  std::string path;
  CollectionFormat format = CollectionFormat::kText;
  bool templateList = false;  // one of the working folder's two list files
  FileStamp stamp;
};

// A file or folder that is left out, and why, in words for the user.
struct LibraryProblem {
  std::string path;
  std::string reason;
};

struct LibraryScan {
  std::vector<LibraryFile> files;  // in library order
  std::vector<LibraryProblem> problems;
  std::vector<std::string> folders;  // every folder read, AA first, as a window follows them
};

// The files of the library of `workFolder`: its two list files when they are there, and every
// collection file at any depth under its folder AA/. Symbolic links are followed; a folder
// reached twice (the same device and inode) is read once, so a loop of links ends. Names
// beginning with "." are passed over. The order is the two lists, then every other file by its
// path, byte by byte. Only the files' status is read, never their bytes.
LibraryScan ScanLibrary(const std::string& workFolder);

// The path of a library file as a search sees it: without the leading "AA/".
std::string SearchedPath(const std::string& path);

// The file's name without the folders and the extension, e.g. "基本" for "AA/やる夫/基本.mlt".
std::string FileStem(const std::string& path);

}  // namespace koron
