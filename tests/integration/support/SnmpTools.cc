// Running the Net-SNMP tools and reading what they print.
#include "tests/integration/support/SnmpTools.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace kavit {
namespace {

const char kRecordEnd[] = "<END>";

std::vector<std::string> SplitFields(const std::string& text, char separator, size_t count) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() + 1 < count) {
    size_t at = text.find(separator, start);
    if (at == std::string::npos) break;
    fields.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  fields.push_back(text.substr(start));
  return fields;
}

}  // namespace

Env ToolEnv(const std::string& dir) {
  // Directories of their own: the tools open every file of a MIB directory,
  // and a FIFO among them would block them for ever.
  std::string persistent = dir + "/snmp-persist";
  std::string config = dir + "/snmp-conf";
  std::string mibs = dir + "/snmp-no-mibs";
  for (const std::string& d : {persistent, config, mibs}) mkdir(d.c_str(), 0700);
  return {{"SNMPCONFPATH", config}, {"SNMP_PERSISTENT_DIR", persistent}, {"MIBS", ""},
          {"MIBDIRS", mibs}};
}

std::vector<VarLine> ParseVarLines(const std::string& output) {
  std::vector<VarLine> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find(" = ");
    if (line == "End of MIB") continue;
    if (line.empty() || line[0] != '.' || eq == std::string::npos) {
      // A continuation of a multi-line string value.
      if (!lines.empty() && !line.empty()) lines.back().value += "\n" + line;
      continue;
    }
    lines.push_back({line.substr(0, eq), line.substr(eq + 3)});
  }
  return lines;
}

RunResult SnmpTool(const std::string& tool, const std::string& version, int port,
                   const std::vector<std::string>& args, const std::string& dir,
                   const std::string& community, int timeout_s) {
  std::vector<std::string> argv = {tool, "-v", version, "-c", community, "-On", "-t",
                                   std::to_string(timeout_s), "-r", "0",
                                   "udp:127.0.0.1:" + std::to_string(port)};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, ToolEnv(dir), (timeout_s + 2) * 1000 * 4);
}

bool TrapReceiver::Start(const std::string& dir, int port) {
  port_ = port;
  std::string conf = dir + "/snmptrapd.conf";
  WriteFile(conf, std::string("disableAuthorization yes\n") +
                      "format1 TRAP|1|%a|%N|%w|%q|%v" + kRecordEnd + "\\n\n" +
                      "format2 TRAP|2|||||%v" + kRecordEnd + "\\n\n");
  log_path_ = dir + "/snmptrapd.log";
  Env env = ToolEnv(dir);
  if (!daemon_.Start({"/usr/sbin/snmptrapd", "-f", "-C", "-c", conf, "-Lf", log_path_, "-n",
                      "-On", "-X", "udp:127.0.0.1:" + std::to_string(port)},
                     dir + "/snmptrapd.out", env))
    return false;
  // Ready once its socket is bound.
  std::string bound = "127.0.0.1:" + std::to_string(port) + " ";
  std::string owner = "pid=" + std::to_string(daemon_.pid()) + ",";
  return WaitUntil(
      [&] {
        std::string out = RunProgram({"ss", "-H", "-lnup"}).out;
        return out.find(bound) != std::string::npos && out.find(owner) != std::string::npos;
      },
      5000, 50);
}

std::vector<ReceivedTrap> TrapReceiver::Traps() const {
  std::vector<ReceivedTrap> traps;
  std::string text = ReadFile(log_path_);
  size_t at = 0;
  while ((at = text.find("TRAP|", at)) != std::string::npos) {
    size_t end = text.find(kRecordEnd, at);
    if (end == std::string::npos) break;
    std::vector<std::string> f = SplitFields(text.substr(at, end - at), '|', 7);
    at = end;
    if (f.size() != 7) continue;
    ReceivedTrap trap;
    trap.version = atoi(f[1].c_str());
    trap.agent_address = f[2];
    trap.enterprise = f[3];
    trap.generic = f[4].empty() ? -1 : atoi(f[4].c_str());
    // snmptrapd prints the specific type as ".267".
    std::string specific = f[5].empty() || f[5][0] != '.' ? f[5] : f[5].substr(1);
    trap.specific = specific.empty() ? -1 : atoi(specific.c_str());
    trap.bindings = f[6];
    traps.push_back(trap);
  }
  return traps;
}

bool TrapReceiver::WaitForTraps(int version, size_t count, int timeout_ms) const {
  return WaitUntil(
      [&] {
        size_t n = 0;
        for (const ReceivedTrap& t : Traps()) n += t.version == version;
        return n >= count;
      },
      timeout_ms, 50);
}

}  // namespace kavit

namespace kavit {

bool MasterAgent::Start(const std::string& dir, int port, int trap_port) {
  port_ = port;
  socket_ = dir + "/agentx.sock";
  std::string conf = dir + "/snmpd.conf";
  // The AgentX time-out must outlast one controller exchange of the subagent.
  WriteFile(conf, "master agentx\n"
                  "agentXSocket " + socket_ + "\n"
                  "agentXTimeout 10\n"
                  "agentXRetries 0\n"
                  "rocommunity public 127.0.0.1\n"
                  "v1trapaddress 127.0.0.1\n"
                  "trapsink 127.0.0.1:" + std::to_string(trap_port) + " public\n");
  // No SMUX (it would listen on TCP port 199), and no state outside dir.
  if (!daemon_.Start({"/usr/sbin/snmpd", "-f", "-C", "-c", conf, "-Lf", dir + "/snmpd.log", "-I",
                      "-smux", "udp:127.0.0.1:" + std::to_string(port)},
                     dir + "/snmpd.out", ToolEnv(dir)))
    return false;
  return WaitUntil([&] { return access(socket_.c_str(), F_OK) == 0 || !daemon_.running(); },
                   10000) &&
         daemon_.running();
}

}  // namespace kavit
