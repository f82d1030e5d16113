// Measures the time from starting a program to its first top-level window being mapped on the X
// server named by DISPLAY, for two programs in alternation, and prints medians and their ratio.
//
//   startup_probe RUNS WORKDIR BASELINE PROGRAM
//
// Both programs start with WORKDIR as their working directory. Each is ended with SIGTERM once
// its window is mapped. One discarded warm-up run of each comes first, so that both start with
// warm file caches.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Connection {
  xcb_connection_t* c = nullptr;
  ~Connection() {
    if (c != nullptr) xcb_disconnect(c);
  }
};

// Reads every event already queued, after a round trip, so that none from an earlier run remains.
void Drain(xcb_connection_t* c) {
  free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  while (xcb_generic_event_t* e = xcb_poll_for_event(c)) free(e);
}

// Starts `program`, returns the milliseconds until a top-level window is mapped, or a negative
// number when none is mapped within the time limit or the program dies first.
double TimeOneStart(xcb_connection_t* c, const std::string& program, const std::string& workdir) {
  Drain(c);
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (chdir(workdir.c_str()) != 0) _exit(127);
    // The programs' own messages would only clutter the table.
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }

  double ms = -1;
  const Clock::time_point deadline = start + std::chrono::seconds(120);
  const int fd = xcb_get_file_descriptor(c);
  while (ms < 0 && Clock::now() < deadline) {
    xcb_generic_event_t* e = xcb_poll_for_event(c);
    if (e == nullptr) {
      if (xcb_connection_has_error(c)) break;
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) return -1;
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, 50);
      continue;
    }
    if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
      auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
      if (!map->override_redirect) {
        ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      }
    }
    free(e);
  }

  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintRow(const std::string& name, const std::vector<double>& v) {
  std::printf("%-14s median %7.1f ms   min %7.1f   max %7.1f   (%zu runs)\n", name.c_str(),
              Median(v), *std::min_element(v.begin(), v.end()),
              *std::max_element(v.begin(), v.end()), v.size());
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s RUNS WORKDIR BASELINE PROGRAM\n", argv[0]);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  const std::string workdir = argv[2];
  const std::string programs[2] = {argv[3], argv[4]};
  if (runs < 1) {
    std::fprintf(stderr, "RUNS must be at least 1\n");
    return 2;
  }

  Connection conn;
  int screenNumber = 0;
  conn.c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(conn.c)) {
    std::fprintf(stderr, "cannot connect to the X server\n");
    return 1;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn.c));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_void_cookie_t ck =
      xcb_change_window_attributes_checked(conn.c, it.data->root, XCB_CW_EVENT_MASK, &mask);
  if (std::unique_ptr<xcb_generic_error_t, decltype(&free)> err{xcb_request_check(conn.c, ck),
                                                                &free}) {
    std::fprintf(stderr, "cannot watch the root window\n");
    return 1;
  }

  std::vector<double> times[2];
  for (int round = -1; round < runs; ++round) {
    for (int p = 0; p < 2; ++p) {
      const double ms = TimeOneStart(conn.c, programs[p], workdir);
      if (ms < 0) {
        std::fprintf(stderr, "%s showed no window\n", programs[p].c_str());
        return 1;
      }
      if (round >= 0) times[p].push_back(ms);
    }
  }

  PrintRow(BaseName(programs[0]), times[0]);
  PrintRow(BaseName(programs[1]), times[1]);
  std::printf("ratio %s / %s: %.2f\n", BaseName(programs[1]).c_str(), BaseName(programs[0]).c_str(),
              Median(times[1]) / Median(times[0]));
  return 0;
}
