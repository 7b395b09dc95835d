// A private PipeWire for tests: its own D-Bus session bus, PipeWire daemon and WirePlumber in a
// private runtime directory, and test camera nodes made by the pipewire_test_camera program.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// Deadlines of the tests: sanitizers make everything several times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kSlowdown = 10;
#else
constexpr int kSlowdown = 1;
#endif
constexpr int Slow(int ms) {
  return ms * kSlowdown;
}

// A child process in a process group of its own, so that stopping it can check that nothing it
// started is left. A watchdog process kills the group if this process ends without stopping it
// (abort, sanitizer exit, test runner timeout). Thread: the test's.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv with the extra environment; withPipes gives it a standard input to write to
  // and a standard output to read lines from. Its error output goes to errorLog when named.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             bool withPipes, const std::string& errorLog = {});
  // Waits (at most timeoutMs) for a line of output starting with prefix.
  bool WaitForLine(const std::string& prefix, int timeoutMs, std::string* line = nullptr);
  bool Send(const std::string& line);
  // Sends the signal and waits (at most two seconds) for the process to end, then kills what
  // is left. False if the process or anything in its group outlived the signal.
  bool Stop(int signal = 15);
  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string buffered_;
};

// The private daemons in a private directory under /tmp, which the watchdog removes if this
// process dies; a new instance first removes those left by makers that are gone. Start sets
// PIPEWIRE_RUNTIME_DIR (and unsets PIPEWIRE_REMOTE) in this process so the program's own PipeWire
// code finds them; Stop restores both.
class PrivatePipeWire {
 public:
  PrivatePipeWire();
  ~PrivatePipeWire();

  // Starts the bus, the daemon and the session manager and waits until the session manager is
  // up (at most ten seconds).
  bool Start();
  // Kills the daemon (as a crash would) and the session manager, leaving the bus.
  bool KillDaemon();
  bool StartDaemon();
  // Stops everything; false if a process had to be killed or left something behind.
  bool Stop();

  const std::string& Dir() const { return dir_; }
  pid_t DaemonPid() const { return daemon_.Pid(); }
  std::vector<std::string> Environment() const;

 private:
  std::string dir_;
  std::string oldRuntime_, oldRemote_;
  bool hadRuntime_ = false, hadRemote_ = false;
  ChildProcess bus_, daemon_, session_;
};

// A camera node: pipewire_test_camera with the given arguments, ready once it is announced.
class TestCamera {
 public:
  explicit TestCamera(const PrivatePipeWire& pipewire) : pipewire_(pipewire) {}
  bool Start(const std::vector<std::string>& args);
  bool Send(const std::string& command) { return process_.Send(command); }
  bool WaitForLine(const std::string& prefix, int timeoutMs, std::string* line) {
    return process_.WaitForLine(prefix, timeoutMs, line);
  }
  // Leaves, as an unplugged camera does.
  bool Stop() { return process_.Stop(); }
  std::uint32_t NodeId() const { return nodeId_; }

 private:
  const PrivatePipeWire& pipewire_;
  ChildProcess process_;
  std::uint32_t nodeId_ = 0;
};
