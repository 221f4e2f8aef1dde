// Helpers for the integration tests: temporary directories, free loopback
// ports, child processes that are always cleaned up, and waiting with a limit.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kavit {

using Env = std::map<std::string, std::string>;

// Directories of the build and source trees, baked in by CMake.
std::string BinDir();
std::string LibDir();
std::string SourceDir();

// A fresh directory under /tmp (short, so unix socket paths fit), removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A port nobody listens on right now, picked by the kernel.
int FreeUdpPort();
int FreeTcpPort();

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// Polls until the condition holds or the time is up; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int timeout_ms, int step_ms = 20);

struct RunResult {
  int exit_code = -1;  // -1 when it had to be killed
  bool timed_out = false;
  std::string out;
  std::string err;
  std::string all() const { return out + err; }
};

// Runs a program to its end (killed after timeout_ms) and collects its output.
RunResult RunProgram(const std::vector<std::string>& argv, const Env& env = {}, int timeout_ms = 20000);

// A background process whose output goes to a log file. The destructor stops
// it if it is still running (SIGTERM, then SIGKILL for it and anything still in
// its process group); a child also dies with the test process, so nothing
// outlives a crashed test.
class Daemon {
 public:
  Daemon() = default;
  ~Daemon();
  Daemon(const Daemon&) = delete;
  Daemon& operator=(const Daemon&) = delete;

  bool Start(const std::vector<std::string>& argv, const std::string& log_path,
             const Env& env = {});
  bool running();
  pid_t pid() const { return pid_; }
  std::string log() const { return ReadFile(log_path_); }
  bool WaitForLog(const std::string& text, int timeout_ms);
  // Sends the signal and waits for the exit; returns the exit code, or -1 if
  // it had to be killed or ended by a signal. *elapsed_ms gets the wait.
  int Stop(int signal_number, int timeout_ms = 5000, int* elapsed_ms = nullptr);
  void Kill();

 private:
  bool Reap(int timeout_ms);
  pid_t pid_ = -1;
  int status_ = 0;
  bool exited_ = false;
  std::string log_path_;
};

}  // namespace kavit
