// Server and client of kavsim's control channel.
#include "sim/server/ControlChannel.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/server/ConnectionPool.h"
#include "sim/server/UnixSocket.h"

namespace kavsim {
namespace {

constexpr size_t kMaxRequest = 4096;
constexpr int kTimeoutMs = 3000;

bool ParseNumber(const std::string& text, int lo, int hi, int* out) {
  if (text.empty() || text.size() > 9) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

Controller* FindPort(Simulator& sim, const std::string& text, std::string* error) {
  int port = -1;
  if (!ParseNumber(text, 0, 255, &port)) {
    *error = "bad port \"" + text + "\"";
    return nullptr;
  }
  Controller* c = sim.At(port);
  if (c == nullptr) *error = "no controller on port " + std::to_string(port);
  return c;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> words;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    words.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return words;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Reads until the peer closes or, with stop_at_newline, until a newline.
bool ReadText(int fd, std::string* out, bool stop_at_newline) {
  char buf[512];
  for (;;) {
    pollfd p = {fd, POLLIN, 0};
    int r = poll(&p, 1, kTimeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return !stop_at_newline;
    out->append(buf, static_cast<size_t>(n));
    if (out->size() > kMaxRequest && stop_at_newline) return false;
    if (stop_at_newline && out->find('\n') != std::string::npos) return true;
  }
}

}  // namespace

std::string ControlSocketPath(const std::string& device_dir) {
  return device_dir + "/" + kControlSocketName;
}

std::string ExecuteControl(Simulator& sim, const std::vector<std::string>& w, bool* ok) {
  *ok = false;
  std::string error;
  if (w.empty()) return "empty request";
  const std::string& verb = w[0];
  if (verb == "ports" && w.size() == 1) {
    std::string out;
    for (int p : sim.Ports()) out += std::to_string(p) + "\n";
    *ok = true;
    return out;
  }
  if (verb == "show" && w.size() == 2) {
    Controller* c = FindPort(sim, w[1], &error);
    if (c == nullptr) return error;
    *ok = true;
    return c->Describe();
  }
  if (verb == "event" && w.size() == 6) {
    Controller* c = FindPort(sim, w[1], &error);
    if (c == nullptr) return error;
    int type = 0, code = 0, byte2 = 0;
    if (!ParseNumber(w[2], 0, 255, &type)) return "bad event type \"" + w[2] + "\" (0 to 255)";
    if (!ParseNumber(w[3], 0, 255, &code)) return "bad event code \"" + w[3] + "\" (0 to 255)";
    if (!ParseNumber(w[4], 0, 255, &byte2)) return "bad byte 2 \"" + w[4] + "\" (0 to 255)";
    if (w[5].size() > 16) return "event name longer than 16 characters";
    c->AppendEvent(type, code, byte2, w[5]);
    *ok = true;
    return "port " + std::to_string(c->port()) + ": event logged, event pointer now " +
           std::to_string(c->EventPointer()) + "\n";
  }
  if (verb == "fault" && (w.size() == 4 || w.size() == 5)) {
    Controller* c = FindPort(sim, w[1], &error);
    if (c == nullptr) return error;
    Fault f;
    if (!ParseFault(w[2], &f)) {
      std::string names;
      for (const std::string& n : FaultNames()) names += " " + n;
      return "unknown fault \"" + w[2] + "\"; faults:" + names;
    }
    if (w[3] != "on" && w[3] != "off") return "say on or off, not \"" + w[3] + "\"";
    if (w.size() == 5) {
      if (w[4].size() != 1 || !c->SetFaultLetter(w[4][0])) return "status letter must be A to T";
    }
    c->SetFault(f, w[3] == "on");
    *ok = true;
    return "port " + std::to_string(c->port()) + ": fault " + FaultName(f) + " switched " + w[3] + "\n";
  }
  return "unknown request \"" + verb + "\"";
}

struct ControlServer::Impl {
  Simulator& sim;
  std::string path;
  std::unique_ptr<ConnectionPool> pool;
  void (*log)(const std::string&) = nullptr;

  Impl(Simulator& s, std::string p) : sim(s), path(std::move(p)) {}

  void Serve(int fd) {
    std::string line;
    if (!ReadText(fd, &line, true)) return;
    line.erase(line.find('\n'));
    bool ok = false;
    std::vector<std::string> words = Split(line);
    std::string text = ExecuteControl(sim, words, &ok);
    if (!text.empty() && text.back() != '\n') text += "\n";
    if (ok && log != nullptr && (words[0] == "event" || words[0] == "fault")) {
      log(text.substr(0, text.size() - 1));
    }
    WriteAll(fd, std::string(ok ? "ok\n" : "error\n") + text);
  }
};

ControlServer::ControlServer(Simulator& sim, std::string device_dir)
    : impl_(std::make_unique<Impl>(sim, ControlSocketPath(device_dir))) {}

ControlServer::~ControlServer() { Stop(); }

void ControlServer::SetLog(void (*log)(const std::string& line)) { impl_->log = log; }

bool ControlServer::Start(std::string* error) {
  if (impl_->pool) return true;
  int fd = ListenUnix(impl_->path, error);
  if (fd < 0) return false;
  Impl* impl = impl_.get();
  auto pool = std::make_unique<ConnectionPool>([impl](int, int c) { impl->Serve(c); });
  pool->AddListener(0, fd);
  if (!pool->Start(error)) {
    unlink(impl_->path.c_str());
    return false;
  }
  impl_->pool = std::move(pool);
  return true;
}

void ControlServer::Stop() {
  if (!impl_ || !impl_->pool) return;
  unlink(impl_->path.c_str());
  impl_->pool->Stop();
  impl_->pool.reset();
}

bool SendControl(const std::string& device_dir, const std::vector<std::string>& words, bool* ok,
                 std::string* reply) {
  *ok = false;
  reply->clear();
  std::string line;
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i].find_first_of("\t\n") != std::string::npos) {
      *reply = "arguments must not contain tabs or newlines";
      return false;
    }
    line += (i ? "\t" : "") + words[i];
  }
  std::string path = ControlSocketPath(device_dir);
  int fd = ConnectUnix(path);
  if (fd < 0) {
    *reply = "no kavsim is running for " + device_dir + " (cannot connect to " + path + ")";
    return false;
  }
  std::string answer;
  bool sent = WriteAll(fd, line + "\n") && ReadText(fd, &answer, false);
  close(fd);
  if (!sent) {
    *reply = "kavsim did not answer on " + path;
    return false;
  }
  size_t eol = answer.find('\n');
  std::string status = answer.substr(0, eol);
  if (status != "ok" && status != "error") {
    *reply = "unexpected answer from kavsim";
    return false;
  }
  *ok = status == "ok";
  *reply = eol == std::string::npos ? "" : answer.substr(eol + 1);
  return true;
}

}  // namespace kavsim
