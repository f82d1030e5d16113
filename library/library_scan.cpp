#include "library/library_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "templates/template_list.h"

namespace koron {
namespace {

constexpr char kCollectionFolder[] = "AA";
// Deeper than any collection is kept; ends a walk down an endless chain of distinct folders
// (a link to a folder's parent is caught as a folder reached twice before that).
constexpr int kMaxDepth = 64;

FileStamp StampOf(const struct stat& info) {
  FileStamp stamp;
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.mtimeNs =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  stamp.ctimeNs =
      static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
  return stamp;
}

std::string Reason(int error) { return std::strerror(error); }

class Walker {
 public:
  Walker(std::string root, LibraryScan& scan) : root_(std::move(root)), scan_(scan) {}

  // `relative` is a folder's path from the working folder, without a trailing "/".
  void Folder(const std::string& relative, const struct stat& info, int depth) {
    if (!visited_.insert({info.st_dev, info.st_ino}).second) return;
    if (depth > kMaxDepth) {
      scan_.problems.push_back({relative, "folders nested too deep"});
      return;
    }
    DIR* folder = opendir((root_ + "/" + relative).c_str());
    if (folder == nullptr) {
      scan_.problems.push_back({relative, Reason(errno)});
      return;
    }
    std::vector<Child> children;
    errno = 0;
    while (const dirent* item = readdir(folder)) {
      if (item->d_name[0] != '.') children.push_back({item->d_name, 0, {}});
    }
    const int readError = errno;
    // Each looked up in the folder already open, rather than by its whole path again.
    for (Child& child : children) {
      if (fstatat(dirfd(folder), child.name.c_str(), &child.info, 0) != 0) child.error = errno;
    }
    closedir(folder);
    scan_.folders.push_back(relative);
    if (readError != 0) scan_.problems.push_back({relative, Reason(readError)});
    std::sort(children.begin(), children.end(),
              [](const Child& a, const Child& b) { return a.name < b.name; });
    for (const Child& child : children) Item(relative + "/" + child.name, child, depth);
  }

 private:
  struct Child {
    std::string name;
    int error;  // of its stat, which follows links
    struct stat info;
  };

  void Item(const std::string& relative, const Child& child, int depth) {
    const struct stat& info = child.info;
    if (child.error != 0) {
      // A link whose target is gone, or a name removed while the folder was read.
      scan_.problems.push_back({relative, Reason(child.error)});
      return;
    }
    if (S_ISDIR(info.st_mode)) {
      Folder(relative, info, depth + 1);
      return;
    }
    const std::optional<CollectionFormat> format = FormatOfPath(relative);
    if (!format) return;  // pictures, notes and the like are not collections
    if (!S_ISREG(info.st_mode)) {
      scan_.problems.push_back({relative, "not a regular file"});
      return;
    }
    scan_.files.push_back({relative, *format, false, StampOf(info)});
  }

  std::string root_;
  LibraryScan& scan_;
  std::set<std::pair<dev_t, ino_t>> visited_;
};

}  // namespace

LibraryScan ScanLibrary(const std::string& workFolder) {
  LibraryScan scan;
  for (const char* list : {kPictureListFile, kPanelListFile}) {
    struct stat info {};
    // A missing list is an empty one, as the window has it; anything else that is wrong is told.
    if (stat((workFolder + "/" + list).c_str(), &info) != 0) {
      if (errno != ENOENT) scan.problems.push_back({list, Reason(errno)});
      continue;
    }
    if (!S_ISREG(info.st_mode)) {
      scan.problems.push_back({list, "not a regular file"});
      continue;
    }
    scan.files.push_back({list, CollectionFormat::kText, true, StampOf(info)});
  }
  const std::size_t lists = scan.files.size();
  struct stat info {};
  if (stat((workFolder + "/" + kCollectionFolder).c_str(), &info) != 0) {
    if (errno != ENOENT) scan.problems.push_back({kCollectionFolder, Reason(errno)});
  } else if (!S_ISDIR(info.st_mode)) {
    scan.problems.push_back({kCollectionFolder, "not a folder"});
  } else {
    Walker(workFolder, scan).Folder(kCollectionFolder, info, 0);
  }
  // Byte order of the whole path: folder by folder is not the same when a name holds a byte
  // below "/" (a space, "!", "-" ...).
  std::sort(scan.files.begin() + static_cast<std::ptrdiff_t>(lists), scan.files.end(),
            [](const LibraryFile& a, const LibraryFile& b) { return a.path < b.path; });
  std::sort(scan.problems.begin(), scan.problems.end(),
            [](const LibraryProblem& a, const LibraryProblem& b) { return a.path < b.path; });
  return scan;
}

std::string SearchedPath(const std::string& path) {
  const std::string prefix = std::string(kCollectionFolder) + "/";
  return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

std::string FileStem(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace koron
