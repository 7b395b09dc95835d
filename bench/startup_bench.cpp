// Start-up time: from starting the program to its main window shown (first paint flushed), for
// frostwipe against a minimal Qt Widgets program with one label, both on the same private X
// server (Xvfb; the offscreen platform when Xvfb is missing). The two run alternately, one
// warm-up run each first; prints the medians and, last, the ratio line.
//
//   startup_bench [rounds] [program]   (defaults: 15 rounds, the frostwipe of this build)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Starts argv with standard output on *out (when out is given) and standard error discarded;
// the descriptor keep stays open in the child. Answers the process id, or -1.
pid_t Spawn(const std::vector<std::string>& argv, int* out, int keep = -1) {
  int pipeFds[2] = {-1, -1};
  if (out && pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  if (keep >= 0) fcntl(keep, F_SETFD, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (keep >= 0) fcntl(keep, F_SETFD, FD_CLOEXEC);
  if (out) {
    close(pipeFds[1]);
    *out = pipeFds[0];
  }
  return pid;
}

// Reads fd until `line` has arrived or the deadline passed. Answers whether it arrived.
bool AwaitLine(int fd, const std::string& line, Clock::time_point deadline) {
  std::string seen;
  char buffer[256];
  while (seen.find(line) == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

void Reap(pid_t pid) {
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Milliseconds from starting the program to its "main window shown" line; negative on failure.
double TimeToShown(const std::string& program) {
  int out = -1;
  const auto start = Clock::now();
  const pid_t pid = Spawn({program}, &out);
  if (pid < 0) return -1;
  const bool shown = AwaitLine(out, "main window shown\n", start + std::chrono::seconds(30));
  const auto end = Clock::now();
  close(out);
  if (!shown) kill(pid, SIGKILL);
  Reap(pid);
  return shown ? std::chrono::duration<double, std::milli>(end - start).count() : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A private X server; answers its process id (or -1 when none could be started) and sets
// DISPLAY for the programs started after it.
pid_t StartXvfb() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                           "1024x768x24", "-nolisten", "tcp"},
                          nullptr, fds[1]);
  close(fds[1]);
  std::string display;
  char buffer[32];
  pollfd p{fds[0], POLLIN, 0};
  while (pid > 0 && display.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    display.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (display.find('\n') == std::string::npos) {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    return -1;
  }
  setenv("DISPLAY", (":" + display.substr(0, display.find('\n'))).c_str(), 1);
  return pid;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string program = argc > 2 ? argv[2] : FROSTWIPE_EXE;
  char pattern[] = "/tmp/startup_bench.XXXXXX";
  const char* dir = mkdtemp(pattern);  // mode 0700: a private runtime directory
  if (!dir) return 1;
  setenv("XDG_RUNTIME_DIR", dir, 1);
  setenv("FROSTWIPE_REGISTRY", (std::string(dir) + "/registry.db").c_str(), 1);
  setenv("FROSTWIPE_DEVICE_PROVIDERS", "demo", 1);
  setenv("FROSTWIPE_QUIT_WHEN_SHOWN", "1", 1);
  const pid_t xvfb = StartXvfb();
  setenv("QT_QPA_PLATFORM", xvfb > 0 ? "xcb" : "offscreen", 1);
  std::printf("platform: %s\n", xvfb > 0 ? "xcb on a private Xvfb" : "offscreen (no Xvfb)");

  std::vector<double> game, baseline;
  bool failed = false;
  for (int round = 0; round <= rounds && !failed; ++round) {
    const double g = TimeToShown(program);
    const double b = TimeToShown(FROSTWIPE_BASELINE_EXE);
    failed = g < 0 || b < 0;
    if (round == 0 || failed) continue;  // the first round warms the caches
    game.push_back(g);
    baseline.push_back(b);
  }
  if (xvfb > 0) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
  std::filesystem::remove_all(dir);
  if (failed || game.empty()) {
    std::fprintf(stderr, "startup_bench: a program did not show its window\n");
    return 1;
  }
  const double g = Median(game), b = Median(baseline);
  std::printf("frostwipe: median %.1f ms, fastest %.1f ms over %d runs\n", g,
              *std::min_element(game.begin(), game.end()), rounds);
  std::printf("minimal Qt window: median %.1f ms, fastest %.1f ms over %d runs\n", b,
              *std::min_element(baseline.begin(), baseline.end()), rounds);
  std::printf(
      "start-up to main window shown: %.1f ms, baseline minimal Qt window %.1f ms, ratio %.2f\n", g,
      b, g / b);
  return 0;
}
