// kavsimctl: logs events, switches faults and shows controller state in a
// running kavsim, through its control channel in the device directory.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/Simulator.h"
#include "sim/server/ControlChannel.h"

namespace {

constexpr const char* kUsage =
    "usage: kavsimctl --device-dir DIR event --port P --type T --code C [--byte2 B] [--name TEXT]\n"
    "       kavsimctl --device-dir DIR fault --port P NAME on|off [--letter L]\n"
    "       kavsimctl --device-dir DIR show --port P\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "kavsimctl: %s\n%s", message.c_str(), kUsage);
  return 2;
}

bool Number(const std::string& text, int lo, int hi, int* out) {
  if (text.empty() || text.size() > 9) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string dir;
  std::string verb;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (verb.empty() && args[i] == "--device-dir") {
      if (i + 1 >= args.size()) return UsageError("missing value after --device-dir");
      dir = args[++i];
    } else if (verb.empty() && (args[i] == "--help" || args[i] == "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (verb.empty()) {
      verb = args[i];
    } else {
      rest.push_back(args[i]);
    }
  }
  if (dir.empty()) return UsageError("--device-dir DIR is needed");
  if (verb != "event" && verb != "fault" && verb != "show") {
    return UsageError(verb.empty() ? "say event, fault or show" : "unknown command \"" + verb + "\"");
  }

  // Options of the command; everything else is a positional word.
  std::string port, type, code, byte2 = "0", name, letter;
  std::vector<std::string> words;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& a = rest[i];
    std::string* target = nullptr;
    if (a == "--port") target = &port;
    else if (verb == "event" && a == "--type") target = &type;
    else if (verb == "event" && a == "--code") target = &code;
    else if (verb == "event" && a == "--byte2") target = &byte2;
    else if (verb == "event" && a == "--name") target = &name;
    else if (verb == "fault" && a == "--letter") target = &letter;
    if (target != nullptr) {
      if (i + 1 >= rest.size()) return UsageError("missing value after " + a);
      *target = rest[++i];
    } else if (a.rfind("--", 0) == 0) {
      return UsageError("unknown option \"" + a + "\" for " + verb);
    } else {
      words.push_back(a);
    }
  }
  int n = 0;
  if (port.empty()) return UsageError("--port P is needed");
  if (!Number(port, 0, 255, &n)) return UsageError("bad port \"" + port + "\"");

  std::vector<std::string> request;
  if (verb == "event") {
    if (!words.empty()) return UsageError("unexpected argument \"" + words[0] + "\"");
    if (type.empty() || code.empty()) return UsageError("--type and --code are needed");
    if (!Number(type, 0, 255, &n)) return UsageError("bad event type \"" + type + "\" (0 to 255)");
    if (!Number(code, 0, 255, &n)) return UsageError("bad event code \"" + code + "\" (0 to 255)");
    if (!Number(byte2, 0, 255, &n)) return UsageError("bad byte 2 \"" + byte2 + "\" (0 to 255)");
    if (name.size() > 16) return UsageError("event name longer than 16 characters");
    request = {"event", port, type, code, byte2, name};
  } else if (verb == "fault") {
    if (words.size() != 2) return UsageError("say the fault's NAME and on or off");
    kavsim::Fault f;
    if (!kavsim::ParseFault(words[0], &f)) {
      std::string names;
      for (const std::string& fname : kavsim::FaultNames()) names += " " + fname;
      return UsageError("unknown fault \"" + words[0] + "\"; faults:" + names);
    }
    if (words[1] != "on" && words[1] != "off") return UsageError("say on or off, not \"" + words[1] + "\"");
    request = {"fault", port, words[0], words[1]};
    if (!letter.empty()) request.push_back(letter);
  } else {
    if (!words.empty()) return UsageError("unexpected argument \"" + words[0] + "\"");
    request = {"show", port};
  }

  bool ok = false;
  std::string reply;
  if (!kavsim::SendControl(dir, request, &ok, &reply)) {
    std::fprintf(stderr, "kavsimctl: %s\n", reply.c_str());
    return 1;
  }
  if (!ok) {
    std::fprintf(stderr, "kavsimctl: %s", reply.c_str());
    return 1;
  }
  std::fputs(reply.c_str(), stdout);
  return 0;
}
