#include "text/line_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

namespace koron {
namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// Where writing to `path` should go: the path itself, or the end of its chain of symbolic
// links, so that replacing the file keeps the links. Empty when the file must be left alone: a
// link owned by someone else (never followed for writing, as the kernel's protected symlinks
// would have it), a loop, or a dangling link whose target's directory does not exist.
std::string WriteTarget(const std::string& path) {
  constexpr int kMaxLinks = 40;  // the kernel's own limit
  std::string current = path;
  for (int links = 0;; ++links) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (errno != ENOENT) return {};
      if (links == 0) return current;  // a new file; a missing directory fails later
      struct stat directory {};
      const bool exists =
          ::stat(DirectoryOf(current).c_str(), &directory) == 0 && S_ISDIR(directory.st_mode);
      return exists ? current : std::string();
    }
    if (!S_ISLNK(info.st_mode)) return current;
    if (links == kMaxLinks || info.st_uid != ::geteuid()) return {};
    // Some file systems report no size for a link; a link holds at most a page.
    std::string content(std::max<std::size_t>(static_cast<std::size_t>(info.st_size), 4096) + 1,
                        '\0');
    const ssize_t length = ::readlink(current.c_str(), content.data(), content.size());
    // A link that cannot be read whole is left alone.
    if (length <= 0 || static_cast<std::size_t>(length) >= content.size()) return {};
    content.resize(static_cast<std::size_t>(length));
    current = content.front() == '/' ? content : DirectoryOf(current) + "/" + content;
  }
}

// Creates a new, uniquely named file beside `target`; -1 on failure.
int CreateTemporary(const std::string& target, std::string& name) {
  const std::size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  unsigned long seed = static_cast<unsigned long>(now.tv_nsec) ^
                       (static_cast<unsigned long>(::getpid()) << 16) ^
                       static_cast<unsigned long>(now.tv_sec);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08lx.tmp",
                  (seed + attempt * 2654435761UL) & 0xFFFFFFFFUL);
    name = directory + "." + base + suffix;
    // 0666 before the umask, as a plainly created file would get.
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) return -1;
  }
  return -1;
}

void SyncDirectoryOf(const std::string& target) {
  int fd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// For a directory that refuses the temporary file or the rename (read-only for the user, or
// sticky with the file owned by someone else): the file itself is rewritten, the whole content
// in one write, then cut to its length.
bool RewriteInPlace(const std::string& target, const std::string& content) {
  int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && WriteAll(fd, content) &&
            ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace

bool WriteAll(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool ReplaceFileWithLines(const std::string& path, const std::vector<std::string>& lines) noexcept {
  try {
    std::string content;
    for (const std::string& line : lines) {
      content += line;
      content += "\r\n";
    }
    const std::string target = WriteTarget(path);
    if (target.empty()) return false;
    struct stat old {};
    const bool hasOld = ::stat(target.c_str(), &old) == 0;
    if (hasOld &&
        (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)) {
      return false;
    }

    std::string temporary;
    int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
      // A directory the user may not write to still leaves a file the user may write.
      return (errno == EACCES || errno == EPERM) && hasOld && RewriteInPlace(target, content);
    }
    if (hasOld) ::fchmod(fd, old.st_mode & 07777);  // keep the user's permissions
    bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
      ::unlink(temporary.c_str());
      return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
      const bool refused = errno == EPERM || errno == EACCES;
      ::unlink(temporary.c_str());
      return refused && hasOld && RewriteInPlace(target, content);
    }
    SyncDirectoryOf(target);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace koron
