// The real Net-SNMP command-line tools as the integration tests use them:
// managers (snmpget, snmpwalk, ...) and a trap receiver (snmptrapd), each
// kept away from the system's SNMP configuration and state directories.
#pragma once

#include <string>
#include <vector>

#include "tests/integration/support/Processes.h"

namespace kavit {

// Environment for a Net-SNMP tool: configuration path and persistent
// directory inside dir, no MIB modules loaded.
Env ToolEnv(const std::string& dir);

struct VarLine {
  std::string oid;    // numeric, with a leading dot
  std::string value;  // as printed, e.g. "INTEGER: 42"
};
// "OID = TYPE: value" lines of -On output.
std::vector<VarLine> ParseVarLines(const std::string& output);

// Runs an SNMP manager tool against 127.0.0.1:port with numeric output and a
// short time-out. version is "1" or "2c".
RunResult SnmpTool(const std::string& tool, const std::string& version, int port,
                   const std::vector<std::string>& args, const std::string& dir,
                   const std::string& community = "public", int timeout_s = 2);

struct ReceivedTrap {
  int version = 0;         // 1 or 2
  std::string agent_address;  // v1 only
  std::string enterprise;     // v1 only
  int generic = -1;           // v1 only
  int specific = -1;          // v1 only
  std::string bindings;       // the varbinds as printed
};

// snmptrapd on 127.0.0.1:port with its own configuration file (no
// authorisation checks) and its own persistent directory.
class TrapReceiver {
 public:
  bool Start(const std::string& dir, int port);
  std::vector<ReceivedTrap> Traps() const;
  // Waits until at least count traps of the version have arrived.
  bool WaitForTraps(int version, size_t count, int timeout_ms) const;
  int port() const { return port_; }
  Daemon& daemon() { return daemon_; }

 private:
  Daemon daemon_;
  int port_ = 0;
  std::string log_path_;
};

}  // namespace kavit

namespace kavit {

// A private snmpd acting as AgentX master: listens on 127.0.0.1:port, takes
// subagents on a unix socket in dir, sends SNMPv1 traps to trap_port.
class MasterAgent {
 public:
  bool Start(const std::string& dir, int port, int trap_port);
  const std::string& socket_path() const { return socket_; }
  int port() const { return port_; }
  Daemon& daemon() { return daemon_; }

 private:
  Daemon daemon_;
  std::string socket_;
  int port_ = 0;
};

}  // namespace kavit
