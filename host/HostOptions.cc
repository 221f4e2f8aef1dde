// Parsing of kavsnmpd's command line.
#include "host/HostOptions.h"

#include <cstring>

namespace kavhost {
namespace {

// The longest community an SNMP message of ours may carry; longer texts are
// refused rather than cut, so a typo cannot silently become another community.
constexpr size_t kMaxCommunity = 255;

// The community becomes one word of an access rule, so it must stay one word.
bool ValidCommunity(const std::string& community) {
  if (community.empty() || community.size() > kMaxCommunity) return false;
  for (unsigned char c : community) {
    if (c <= ' ' || c >= 0x7f || c == '"' || c == '\'' || c == '\\' || c == '#') return false;
  }
  return true;
}

bool ValidSink(const std::string& sink) {
  if (sink.empty() || sink.find_first_of(" \t,") != std::string::npos) return false;
  size_t colon = sink.rfind(':');
  if (colon == std::string::npos) return true;
  std::string port = sink.substr(colon + 1);
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
    return false;
  long value = std::stol(port);
  return value >= 1 && value <= 65535;
}

}  // namespace

std::string HostUsage() {
  return "Usage: kavsnmpd --agent PATH [options]\n"
         "Hosts an SNMP extension agent and serves it to SNMP managers. Runs in the\n"
         "foreground, logs to stderr, stops on SIGTERM or SIGINT.\n"
         "\n"
         "  --agent PATH          the agent library to load (required)\n"
         "  --listen ADDRESS      where to answer SNMP requests, as a Net-SNMP transport\n"
         "                        address (default udp:127.0.0.1:1161); master mode only\n"
         "  --community TEXT      the read-only SNMPv1/v2c community managers must send and\n"
         "                        that traps carry (default public); master mode only\n"
         "  --trap-sink HOST:PORT send each trap as an SNMPv1 trap to HOST:PORT (port\n"
         "                        default 162); may be given more than once\n"
         "  --trap2-sink HOST:PORT send each trap as an SNMPv2c notification; may be\n"
         "                        given more than once\n"
         "  --agentx SOCKET       run as an AgentX subagent of the snmpd listening on\n"
         "                        SOCKET (a path or tcp:HOST:PORT) instead of listening\n"
         "                        ourselves; snmpd's configuration then decides access,\n"
         "                        trap sinks and time-outs\n"
         "  --verbose             log every request and trap\n"
         "  --help                show this text\n";
}

bool ParseHostOptions(int argc, char** argv, HostOptions* options, std::string* error) {
  *options = HostOptions();
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = std::string("option ") + arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    std::string text;
    if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
      options->help = true;
      return true;
    } else if (strcmp(arg, "--verbose") == 0) {
      options->verbose = true;
    } else if (strcmp(arg, "--agent") == 0) {
      if (!value(&options->agent_path)) return false;
    } else if (strcmp(arg, "--listen") == 0) {
      if (!value(&options->listen)) return false;
      if (options->listen.empty()) {
        *error = "--listen needs an address";
        return false;
      }
    } else if (strcmp(arg, "--community") == 0) {
      if (!value(&options->community)) return false;
      if (!ValidCommunity(options->community)) {
        *error = "--community must have 1 to 255 printable characters, without blanks, "
                 "quotes or backslashes";
        return false;
      }
    } else if (strcmp(arg, "--trap-sink") == 0 || strcmp(arg, "--trap2-sink") == 0) {
      if (!value(&text)) return false;
      if (!ValidSink(text)) {
        *error = std::string("bad trap sink '") + text + "' (expected HOST or HOST:PORT)";
        return false;
      }
      (strcmp(arg, "--trap-sink") == 0 ? options->trap_sinks : options->trap2_sinks).push_back(text);
    } else if (strcmp(arg, "--agentx") == 0) {
      if (!value(&options->agentx_socket)) return false;
      if (options->agentx_socket.empty()) {
        *error = "--agentx needs a socket address";
        return false;
      }
    } else {
      *error = std::string("unknown option '") + arg + "' (see --help)";
      return false;
    }
  }
  if (options->agent_path.empty()) {
    *error = "--agent PATH is required (see --help)";
    return false;
  }
  return true;
}

}  // namespace kavhost
