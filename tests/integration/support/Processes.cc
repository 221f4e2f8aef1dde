// Helpers for the integration tests: directories, ports, processes, waiting.
#include "tests/integration/support/Processes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kavit {
namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point start) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::vector<std::string> MergedEnv(const Env& extra) {
  Env merged;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [key, value] : extra) merged[key] = value;
  std::vector<std::string> out;
  for (const auto& [key, value] : merged) out.push_back(key + "=" + value);
  return out;
}

// fork + exec with output to the given descriptors; the child gets its own
// process group and dies with us.
pid_t Spawn(const std::vector<std::string>& argv, const Env& env, int out_fd, int err_fd) {
  std::vector<std::string> env_strings = MergedEnv(env);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env_strings) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid != 0) return pid;
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  int null_fd = open("/dev/null", O_RDONLY);
  dup2(null_fd, 0);
  dup2(out_fd, 1);
  dup2(err_fd, 2);
  execve(args[0], args.data(), envp.data());
  execvpe(args[0], args.data(), envp.data());
  fprintf(stderr, "cannot run %s: %s\n", args[0], strerror(errno));
  _exit(127);
}

int FreePort(int type) {
  int fd = socket(AF_INET, type, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  int port = -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

}  // namespace

std::string BinDir() { return KAV_BIN_DIR; }
std::string LibDir() { return KAV_LIB_DIR; }
std::string SourceDir() { return KAV_SOURCE_DIR; }

TempDir::TempDir() {
  char pattern[] = "/tmp/kavit-XXXXXX";
  if (mkdtemp(pattern) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // KAVIT_KEEP=1 keeps the directories (logs, configuration) for a post-mortem.
  const char* keep = getenv("KAVIT_KEEP");
  if (keep != nullptr && strcmp(keep, "1") == 0) {
    fprintf(stderr, "kept %s\n", path_.c_str());
    return;
  }
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

int FreeUdpPort() { return FreePort(SOCK_DGRAM); }
int FreeTcpPort() { return FreePort(SOCK_STREAM); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool WaitUntil(const std::function<bool()>& condition, int timeout_ms, int step_ms) {
  Clock::time_point start = Clock::now();
  while (true) {
    if (condition()) return true;
    if (ElapsedMs(start) >= timeout_ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(step_ms));
  }
}

RunResult RunProgram(const std::vector<std::string>& argv, const Env& env, int timeout_ms) {
  RunResult result;
  FILE* out = tmpfile();
  FILE* err = tmpfile();
  pid_t pid = Spawn(argv, env, fileno(out), fileno(err));
  Clock::time_point start = Clock::now();
  int status = 0;
  while (true) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (ElapsedMs(start) > timeout_ms) {
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!result.timed_out && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  for (auto [file, text] : {std::pair{out, &result.out}, std::pair{err, &result.err}}) {
    rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, n);
    fclose(file);
  }
  return result;
}

Daemon::~Daemon() {
  // A polite stop first, so the daemon removes what it created; then the
  // hard way.
  if (pid_ > 0 && !exited_) {
    kill(pid_, SIGTERM);
    Reap(3000);
  }
  Kill();
}

bool Daemon::Start(const std::vector<std::string>& argv, const std::string& log_path,
                   const Env& env) {
  log_path_ = log_path;
  int fd = open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  pid_ = Spawn(argv, env, fd, fd);
  close(fd);
  exited_ = false;
  return pid_ > 0;
}

bool Daemon::Reap(int timeout_ms) {
  if (pid_ <= 0 || exited_) return true;
  Clock::time_point start = Clock::now();
  while (true) {
    pid_t done = waitpid(pid_, &status_, WNOHANG);
    if (done == pid_) {
      exited_ = true;
      return true;
    }
    if (ElapsedMs(start) >= timeout_ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool Daemon::running() { return pid_ > 0 && !Reap(0); }

bool Daemon::WaitForLog(const std::string& text, int timeout_ms) {
  return WaitUntil([&] { return log().find(text) != std::string::npos || !running(); },
                   timeout_ms) &&
         log().find(text) != std::string::npos;
}

int Daemon::Stop(int signal_number, int timeout_ms, int* elapsed_ms) {
  if (pid_ <= 0) return -1;
  Clock::time_point start = Clock::now();
  if (!exited_) kill(pid_, signal_number);
  bool ended = Reap(timeout_ms);
  if (elapsed_ms != nullptr) *elapsed_ms = ElapsedMs(start);
  if (!ended) {
    Kill();
    return -1;
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

void Daemon::Kill() {
  if (pid_ <= 0) return;
  if (!exited_) {
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    Reap(5000);
  }
  pid_ = -1;
}

}  // namespace kavit
