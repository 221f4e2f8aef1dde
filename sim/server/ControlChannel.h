// The control channel of a running kavsim: a unix socket "kavsim.ctl" in the
// device directory through which kavsimctl logs events, switches faults and
// shows a controller's state.
//
// Protocol: the client sends one request line, its words separated by tabs
// and ended by a newline; the server answers "ok" or "error" on the first line,
// then the text of the answer, and closes the connection.
//   event <port> <type> <code> <byte2> <name>
//   fault <port> <fault name> on|off [<status letter>]
//   show <port>
//   ports
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/Simulator.h"

namespace kavsim {

inline constexpr const char* kControlSocketName = "kavsim.ctl";
std::string ControlSocketPath(const std::string& device_dir);

// Carries out one request on sim; *ok tells whether it succeeded. The text is
// the answer or the reason it was refused.
std::string ExecuteControl(Simulator& sim, const std::vector<std::string>& words, bool* ok);

class ControlServer {
 public:
  ControlServer(Simulator& sim, std::string device_dir);
  ~ControlServer();
  bool Start(std::string* error);
  void Stop();
  // Called with each event logged and each fault switched through the channel.
  void SetLog(void (*log)(const std::string& line));

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Client side: sends words to the kavsim serving device_dir. False when no
// simulator answers (then *reply holds why).
bool SendControl(const std::string& device_dir, const std::vector<std::string>& words, bool* ok,
                 std::string* reply);

}  // namespace kavsim
