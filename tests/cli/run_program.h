#pragma once

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace koron::testing {

// Where the program's standard output goes: a pipe the test reads, a full device, nowhere (the
// descriptor closed), a pipe whose reader has gone, or the end of the file "log" in the folder
// (as `>> log` opens it).
enum class Stdout { Pipe, DevFull, Closed, BrokenPipe, Log };

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
  long peakKiB = -1;  // the program's peak resident memory (its VmHWM when it ended)
};

// A run that hangs is ended by SIGALRM (status 142) rather than stalling every test after it.
constexpr unsigned kHangGuardSeconds = 120;

// Runs `program` with `args` in `folder` and exactly the environment `env` ("NAME=value").
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& folder, const std::vector<std::string>& env,
                            Stdout mode = Stdout::Pipe) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return {};
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    ::dup2(err[1], 2);
    switch (mode) {
      case Stdout::Pipe:
      case Stdout::BrokenPipe:
        ::dup2(out[1], 1);
        break;
      case Stdout::DevFull:
        ::dup2(::open("/dev/full", O_WRONLY), 1);
        break;
      case Stdout::Closed:
        ::close(1);
        break;
      case Stdout::Log:
        ::dup2(::open("log", O_WRONLY | O_APPEND | O_CREAT, 0600), 1);
        break;
    }
    ::signal(SIGPIPE, SIG_DFL);
    ::alarm(kHangGuardSeconds);  // kept across execve
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  if (mode == Stdout::BrokenPipe) {
    ::close(out[0]);
    out[0] = -1;
  }

  RunResult result;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = mode == Stdout::BrokenPipe ? 1 : 2;
  while (open > 0 && ::poll(fds, 2, -1) >= 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) == pid) result.peakKiB = usage.ru_maxrss;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace koron::testing
