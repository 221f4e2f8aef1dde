// The command line of kavsnmpd.
#pragma once

#include <string>
#include <vector>

namespace kavhost {

struct HostOptions {
  std::string agent_path;
  std::string listen = "udp:127.0.0.1:1161";
  std::string community = "public";
  std::vector<std::string> trap_sinks;   // SNMPv1 trap receivers, HOST[:PORT]
  std::vector<std::string> trap2_sinks;  // SNMPv2c notification receivers
  std::string agentx_socket;             // non-empty: run as an AgentX subagent
  bool verbose = false;
  bool help = false;
};

// Parses argv. On failure returns false and sets *error to a one-line reason.
bool ParseHostOptions(int argc, char** argv, HostOptions* options, std::string* error);

// The text --help prints.
std::string HostUsage();

}  // namespace kavhost
