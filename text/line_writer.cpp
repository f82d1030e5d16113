#include "text/line_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace koron {
namespace {

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t count = ::write(fd, content.data() + done, content.size() - done);
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// The file a symbolic link points at, so that replacing it keeps the link.
std::string ResolveLink(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string resolved(real);
  std::free(real);
  return resolved;
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
  const std::size_t slash = target.rfind('/');
  const std::string directory =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool ReplaceFileWithLines(const std::string& path, const std::vector<std::string>& lines) noexcept {
  try {
    std::string content;
    for (const std::string& line : lines) {
      content += line;
      content += "\r\n";
    }
    const std::string target = ResolveLink(path);
    struct stat old {};
    const bool has_old = ::stat(target.c_str(), &old) == 0;
    if (has_old && (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

    std::string temporary;
    int fd = CreateTemporary(target, temporary);
    if (fd < 0) return false;
    if (has_old) ::fchmod(fd, old.st_mode & 07777);  // keep the user's permissions
    bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
      ::unlink(temporary.c_str());
      return false;
    }
    SyncDirectoryOf(target);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace koron
