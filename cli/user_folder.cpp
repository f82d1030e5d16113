#include "cli/user_folder.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "templates/template_list.h"
#include "text/line_writer.h"

namespace koron {
namespace {

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string HomeFolder(const char* home) {
  if (home != nullptr && home[0] != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/";
}

// mkdir -p; new folders are the user's alone, as the base directory rules ask.
bool MakeFolders(const std::string& folder) {
  for (std::size_t end = 1; end <= folder.size(); ++end) {
    if (end < folder.size() && folder[end] != '/') continue;
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info;
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool CopyBytes(int from, int to) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(to, std::string_view(buffer, static_cast<std::size_t>(got)))) return false;
  }
}

// The example `name` as the package installed it: the first readable regular file in `sources`.
int OpenExample(const std::vector<std::string>& sources, const std::string& name) {
  for (const std::string& dir : sources) {
    const std::string path = dir + "/" + name;
    // Non-blocking, so that a named pipe there cannot hang the start; it is skipped below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat info;
    // (A regular file's reads ignore O_NONBLOCK.)
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) return fd;
    ::close(fd);
  }
  return -1;
}

// Puts the finished temporary file in place under `target` unless something is already there.
void PlaceWithoutReplacing(const std::string& temp, const std::string& target) {
  if (::link(temp.c_str(), target.c_str()) != 0 && errno != EEXIST) {
    // Some file systems have no hard links; a rename that refuses to replace does the same.
    ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
  }
  ::unlink(temp.c_str());
}

void CopyExampleIfMissing(const std::string& folder, const std::vector<std::string>& sources,
                          const std::string& name) {
  const std::string target = folder + "/" + name;
  struct stat info;
  // Anything at all under that name (even a dangling link) is the user's.
  if (::lstat(target.c_str(), &info) == 0 || errno != ENOENT) return;

  Fd source(OpenExample(sources, name));
  if (source.get() < 0) return;

  // Written under a hidden name first, so that a crash or a full disk leaves no half file (and
  // the library skips hidden names meanwhile).
  std::string temp = folder + "/." + name + ".XXXXXX";
  Fd out(::mkostemp(temp.data(), O_CLOEXEC));
  if (out.get() < 0) return;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const bool written = CopyBytes(source.get(), out.get()) &&
                       ::fchmod(out.get(), 0666 & ~mask) == 0 && ::fsync(out.get()) == 0;
  if (out.Close() && written) {
    PlaceWithoutReplacing(temp, target);
  } else {
    ::unlink(temp.c_str());
  }
}

// The names of the example collections: the files of every `sources` folder, hidden ones left
// out, each once and sorted, so that the copying does not depend on the order readdir gives.
std::set<std::string> ExampleNames(const std::vector<std::string>& sources) {
  std::set<std::string> names;
  for (const std::string& dir : sources) {
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) continue;
    while (const dirent* entry = ::readdir(listing)) {
      if (entry->d_name[0] != '.') names.insert(entry->d_name);
    }
    ::closedir(listing);
  }
  return names;
}

std::vector<std::string> Under(const std::vector<std::string>& dataDirs, const char* subfolder) {
  std::vector<std::string> folders;
  for (const std::string& dir : dataDirs) folders.push_back(dir + subfolder);
  return folders;
}

}  // namespace

std::string UserFolderPath(const char* xdgDataHome, const char* home) {
  if (IsAbsolute(xdgDataHome)) return std::string(xdgDataHome) + "/koron-aa";
  return HomeFolder(home) + "/.local/share/koron-aa";
}

std::string BoardProfileFolderPath(const char* xdgConfigHome, const char* home) {
  if (IsAbsolute(xdgConfigHome)) return std::string(xdgConfigHome) + "/koron-aa/boards";
  return HomeFolder(home) + "/.config/koron-aa/boards";
}

const char* UserFolderSource(const char* xdgDataHome, const char* home) {
  if (IsAbsolute(xdgDataHome)) return "XDG_DATA_HOME";
  return home != nullptr && home[0] != '\0' ? "HOME" : "the user database";
}

std::vector<std::string> SystemDataDirs(const char* xdgDataDirs) {
  std::vector<std::string> dirs;
  const std::string list = xdgDataDirs != nullptr ? xdgDataDirs : "";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::string dir = list.substr(start, end - start);
    if (IsAbsolute(dir.c_str())) dirs.push_back(dir);
    start = end + 1;
  }
  if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
  return dirs;
}

void PrepareUserFolder(const std::string& folder, const std::vector<std::string>& dataDirs) {
  if (!MakeFolders(folder)) return;
  const std::vector<std::string> lists = Under(dataDirs, "/koron-aa");
  for (const char* name : {kPictureListFile, kPanelListFile}) {
    CopyExampleIfMissing(folder, lists, name);
  }
  // The library's folder; when it cannot be made (a file of that name), the lists still work.
  const std::string library = folder + "/AA";
  if (!MakeFolders(library)) return;
  const std::vector<std::string> collections = Under(dataDirs, "/koron-aa/AA");
  for (const std::string& name : ExampleNames(collections)) {
    CopyExampleIfMissing(library, collections, name);
  }
}

}  // namespace koron
