#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

namespace koron::testing {

// The one scratch folder of the tests: a fresh directory for one test, removed with everything in
// it afterwards. Its path is empty when it could not be made.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "koron-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    if (path_.empty()) return;  // never made
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

  // Writes exactly these bytes and returns the file's path.
  std::string Write(const std::string& name, std::string_view bytes) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Names of the entries in the directory (or in a directory inside it), sorted.
  std::string Listing(const std::string& inside = "") const {
    std::set<std::string> sorted;
    for (const auto& entry :
         std::filesystem::directory_iterator(inside.empty() ? path_ : Path(inside))) {
      sorted.insert(entry.path().filename().string());
    }
    std::string names;
    for (const std::string& name : sorted) names += name + " ";
    return names;
  }

 private:
  std::string path_;
};

// `text` as a UTF-16 file of either byte order holds it, behind its byte-order mark.
inline std::string Utf16File(std::u16string_view text, bool bigEndian = false) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

// Runs `work` in a forked child, so that nothing else the test process did counts, and returns
// how much the child's peak resident memory (VmHWM) grew while it ran, in KiB; -1 when `work`
// returned false or the child did not finish.
inline long PeakMemoryGrowthKiB(const std::function<bool()>& work) {
  const auto peak = [] {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
      if (word == "VmHWM:") {
        long kib = -1;
        status >> kib;
        return kib;
      }
    }
    return -1L;
  };
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    const long before = peak();
    const bool ok = work();
    const long growth = ok && before >= 0 ? peak() - before : -1;
    const bool sent = ::write(pipeFds[1], &growth, sizeof growth) == sizeof growth;
    ::_exit(sent ? 0 : 1);
  }
  ::close(pipeFds[1]);
  long growth = -1;
  if (child < 0 || ::read(pipeFds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(pipeFds[0]);
  int status = 0;
  if (child > 0) ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? growth : -1;
}

}  // namespace koron::testing
