#include "PrivatePipeWire.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool WaitForPath(const std::string& path, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < end) {
    if (access(path.c_str(), F_OK) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << text;
}

}  // namespace

// ---- Watchdog

// Kills the process groups of this process's children, and removes its private directories, when
// this process ends without stopping them (an abort, a sanitizer's exit, a test runner's kill). It
// is a child of its own that reads what to watch from a pipe; this process holds the only write
// end, so the kernel closes the pipe whatever way this process ends, and the watchdog kills every
// group and removes every directory still listed. A forked process gets a watchdog of its own.
// Thread: any (mutex_ guards the state).
class Watchdog {
 public:
  static Watchdog& Instance() {
    static Watchdog watchdog;
    return watchdog;
  }
  void Watch(pid_t group) { Tell({group, {}}); }
  void Forget(pid_t group) { Tell({-group, {}}); }
  // A directory is named by a message with group 0 (watch) or -1 (forget).
  void WatchDirectory(const std::string& dir) { Tell(DirectoryMessage(0, dir)); }
  void ForgetDirectory(const std::string& dir) { Tell(DirectoryMessage(-1, dir)); }

 private:
  // Short enough that one write of it is atomic on a pipe.
  struct Message {
    std::int32_t group;
    char dir[60];
  };
  static constexpr int kMaxDirectories = 8;

  static Message DirectoryMessage(std::int32_t group, const std::string& dir) {
    Message m{group, {}};
    if (dir.size() < sizeof m.dir) std::memcpy(m.dir, dir.c_str(), dir.size());
    return m;
  }

  void Tell(const Message& message) {
    std::lock_guard lock(mutex_);
    if (owner_ != getpid()) Start();
    if (out_ >= 0) (void)!write(out_, &message, sizeof message);
  }

  void Start() {
    if (out_ >= 0) close(out_);  // the parent's watchdog, inherited through fork
    out_ = -1;
    owner_ = getpid();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const pid_t pid = fork();
    if (pid < 0) {
      close(fds[0]);
      close(fds[1]);
      return;
    }
    if (pid == 0) Run(fds[0]);
    close(fds[0]);
    out_ = fds[1];
  }

  // The watchdog's own life: only calls that are safe after fork in a threaded process (no
  // allocation); the directories are removed by rm, which it becomes at the end.
  [[noreturn]] static void Run(int in) {
    setsid();  // neither a terminal's interrupt nor a kill of the test's group reaches it
    dup2(in, STDIN_FILENO);
    // Holds no other descriptor: no pipe end of another child, no output of the test runner.
    syscall(SYS_close_range, 1U, ~0U, 0U);
    pid_t groups[256] = {};
    char dirs[kMaxDirectories][sizeof Message::dir] = {};
    Message message{};
    for (;;) {
      const ssize_t n = read(STDIN_FILENO, &message, sizeof message);
      if (n < 0 && errno == EINTR) continue;
      if (n != static_cast<ssize_t>(sizeof message)) break;
      message.dir[sizeof message.dir - 1] = '\0';
      if (message.group == 0 || message.group == -1) {
        for (char* d : dirs) {
          if (message.group == 0 && d[0] == '\0') {
            std::memcpy(d, message.dir, sizeof message.dir);
            break;
          }
          if (message.group == -1 && d[0] != '\0' && std::strcmp(d, message.dir) == 0) {
            d[0] = '\0';
            break;
          }
        }
        continue;
      }
      for (pid_t& g : groups) {
        if (message.group > 0 && g == 0) {
          g = message.group;
          break;
        }
        if (message.group < 0 && g == -message.group) {
          g = 0;
          break;
        }
      }
    }
    for (const pid_t g : groups)
      if (g > 0) kill(-g, SIGKILL);
    char rm[] = "/bin/rm", options[] = "-rf", end[] = "--";
    char* argv[kMaxDirectories + 4] = {rm, options, end};
    int argc = 3;
    for (char* d : dirs)
      if (d[0] != '\0') argv[argc++] = d;
    if (argc > 3) {
      char* envp[] = {nullptr};
      execve(rm, argv, envp);
    }
    _exit(0);
  }

  std::mutex mutex_;
  pid_t owner_ = -1;
  int out_ = -1;
};

// ---- ChildProcess

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         bool withPipes, const std::string& errorLog) {
  // Everything the child needs is made here: between fork and exec only plain system calls.
  std::map<std::string, std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::size_t eq = entry.find('=');
    if (eq != std::string::npos) environment[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const std::string& e : env) {
    const std::size_t eq = e.find('=');
    if (eq == std::string::npos)
      environment.erase(e);
    else
      environment[e.substr(0, eq)] = e.substr(eq + 1);
  }
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : entries) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const int log = errorLog.empty()
                      ? -1
                      : open(errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int in[2] = {-1, -1}, out[2] = {-1, -1};
  const bool piped = !withPipes || (pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0);
  const pid_t pid = piped ? fork() : -1;
  if (pid == 0) {
    setpgid(0, 0);
    if (log >= 0) dup2(log, STDERR_FILENO);
    dup2(withPipes ? in[0] : null, STDIN_FILENO);
    if (withPipes) dup2(out[1], STDOUT_FILENO);
    // No descriptor of the test (another child's pipe, a test runner's) lives on in the child.
    syscall(SYS_close_range, 3U, ~0U, 0U);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  for (const int fd : {log, null, in[0], out[1]})
    if (fd >= 0) close(fd);
  if (pid < 0) {
    for (const int fd : {in[1], out[0]})
      if (fd >= 0) close(fd);
    return false;
  }
  setpgid(pid, pid);
  Watchdog::Instance().Watch(pid);
  pid_ = pid;
  if (withPipes) {
    in_ = in[1];
    out_ = out[0];
  }
  return true;
}

bool ChildProcess::WaitForLine(const std::string& prefix, int timeoutMs, std::string* line) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::size_t eol;
    while ((eol = buffered_.find('\n')) != std::string::npos) {
      const std::string got = buffered_.substr(0, eol);
      buffered_.erase(0, eol + 1);
      if (got.rfind(prefix, 0) == 0) {
        if (line) *line = got;
        return true;
      }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (out_ < 0 || left.count() <= 0) return false;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[256];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffered_.append(chunk, static_cast<std::size_t>(n));
  }
}

bool ChildProcess::Send(const std::string& line) {
  const std::string text = line + "\n";
  return in_ >= 0 && write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool ChildProcess::Stop(int signal) {
  if (pid_ <= 0) return true;
  if (in_ >= 0) close(in_);
  in_ = -1;
  kill(pid_, signal);
  bool clean = false;
  const auto end = Clock::now() + std::chrono::seconds(2);
  while (Clock::now() < end) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      clean = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!clean) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  // Anything the process started in its group is left behind too.
  if (kill(-pid_, 0) == 0) {
    clean = false;
    kill(-pid_, SIGKILL);
  }
  if (out_ >= 0) close(out_);
  out_ = -1;
  Watchdog::Instance().Forget(pid_);
  pid_ = -1;
  buffered_.clear();
  return clean;
}

// ---- PrivatePipeWire

namespace {

constexpr char kDirPrefix[] = "frostwipe-pw-";

// Who made a private directory: the process id and its pid namespace, which together say
// whether the maker still runs.
std::string OwnerTag(pid_t pid) {
  char ns[64] = {};
  (void)!readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
  return std::to_string(pid) + " " + ns;
}

// Removes the private directories of test processes that ended without removing them and whose
// watchdog could not either (it was killed along with them). A directory is only taken when it
// names its maker, the maker ran in this pid namespace and is gone.
void SweepStaleDirectories() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/tmp", ec)) {
    if (entry.path().filename().string().rfind(kDirPrefix, 0) != 0) continue;
    std::ifstream file(entry.path() / "owner");
    std::string pidText, ns;
    if (!(file >> pidText >> ns)) continue;
    const pid_t pid = static_cast<pid_t>(std::strtol(pidText.c_str(), nullptr, 10));
    if (pid <= 0 || OwnerTag(pid) != pidText + " " + ns) continue;
    if (kill(pid, 0) == 0 || errno != ESRCH) continue;
    std::filesystem::remove_all(entry.path(), ec);
  }
}

}  // namespace

PrivatePipeWire::PrivatePipeWire() {
  SweepStaleDirectories();
  std::string pattern = std::string("/tmp/") + kDirPrefix + "XXXXXX";
  if (mkdtemp(pattern.data())) dir_ = pattern;  // mode 0700
  if (dir_.empty()) return;
  Watchdog::Instance().WatchDirectory(dir_);
  WriteFile(dir_ + "/owner", OwnerTag(getpid()) + "\n");
  // Only what a camera test needs: no sound cards, no Bluetooth, no cameras of the machine.
  WriteFile(dir_ + "/config/wireplumber/main.lua.d/90-enable-all.lua",
            "load_module(\"metadata\")\ndefault_access.enable()\n");
  WriteFile(dir_ + "/config/wireplumber/bluetooth.lua.d/90-enable-all.lua", "\n");
}

PrivatePipeWire::~PrivatePipeWire() {
  Stop();
  if (dir_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
  Watchdog::Instance().ForgetDirectory(dir_);
}

std::vector<std::string> PrivatePipeWire::Environment() const {
  return {"XDG_RUNTIME_DIR=" + dir_,
          "PIPEWIRE_RUNTIME_DIR=" + dir_,
          "XDG_CONFIG_HOME=" + dir_ + "/config",
          "XDG_STATE_HOME=" + dir_ + "/state",
          "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_ + "/bus",
          "PIPEWIRE_REMOTE",
          "DISPLAY",
          "WAYLAND_DISPLAY"};
}

bool PrivatePipeWire::Start() {
  if (dir_.empty()) return false;
  hadRuntime_ = std::getenv("PIPEWIRE_RUNTIME_DIR") != nullptr;
  if (hadRuntime_) oldRuntime_ = std::getenv("PIPEWIRE_RUNTIME_DIR");
  hadRemote_ = std::getenv("PIPEWIRE_REMOTE") != nullptr;
  if (hadRemote_) oldRemote_ = std::getenv("PIPEWIRE_REMOTE");
  setenv("PIPEWIRE_RUNTIME_DIR", dir_.c_str(), 1);
  unsetenv("PIPEWIRE_REMOTE");
  if (!bus_.Start({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                   "--address=unix:path=" + dir_ + "/bus"},
                  Environment(), false, dir_ + "/dbus.log") ||
      !WaitForPath(dir_ + "/bus", Slow(5000)))
    return false;
  return StartDaemon();
}

bool PrivatePipeWire::StartDaemon() {
  std::filesystem::remove(dir_ + "/pipewire-0");
  if (!daemon_.Start({"pipewire"}, Environment(), false, dir_ + "/pipewire.log") ||
      !WaitForPath(dir_ + "/pipewire-0", Slow(5000)))
    return false;
  if (!session_.Start({"wireplumber"}, Environment(), false, dir_ + "/wireplumber.log"))
    return false;
  // The session manager is up once it has made the "default" metadata.
  const auto end = Clock::now() + std::chrono::milliseconds(Slow(10000));
  while (Clock::now() < end) {
    ChildProcess ls;
    std::vector<std::string> env = Environment();
    if (ls.Start({"pw-cli", "ls", "Metadata"}, env, true)) {
      const bool found = ls.WaitForLine(" \t\tmetadata.name = \"default\"", Slow(1000));
      ls.Stop();
      if (found) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

bool PrivatePipeWire::KillDaemon() {
  const bool session = session_.Stop(SIGKILL);
  const bool daemon = daemon_.Stop(SIGKILL);
  return session && daemon;
}

bool PrivatePipeWire::Stop() {
  bool clean = session_.Stop();
  clean = daemon_.Stop() && clean;
  clean = bus_.Stop() && clean;
  if (hadRuntime_)
    setenv("PIPEWIRE_RUNTIME_DIR", oldRuntime_.c_str(), 1);
  else
    unsetenv("PIPEWIRE_RUNTIME_DIR");
  if (hadRemote_) setenv("PIPEWIRE_REMOTE", oldRemote_.c_str(), 1);
  hadRuntime_ = hadRemote_ = false;
  return clean;
}

// ---- TestCamera

bool TestCamera::Start(const std::vector<std::string>& args) {
  std::vector<std::string> argv{FROSTWIPE_PIPEWIRE_TEST_CAMERA};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string line;
  if (!process_.Start(argv, pipewire_.Environment(), true) ||
      !process_.WaitForLine("ready", Slow(5000), &line))
    return false;
  nodeId_ = static_cast<std::uint32_t>(std::strtoul(line.c_str() + 5, nullptr, 10));
  return true;
}
