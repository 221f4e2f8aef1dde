// Setting up Net-SNMP's agent library for kavsnmpd.
//
// Nothing is read from or written to the system's SNMP configuration or state
// directories: configuration files are not read at all, settings are made
// through the library's default store, and the persistent directory is a
// private temporary one that nothing is saved to. SMUX, which the agent
// library otherwise starts on TCP port 199 of every interface, is switched off.
#include "host/SnmpService.h"

#include <arpa/inet.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <syslog.h>
#include <filesystem>
#include <vector>

#include "host/AgentModule.h"
#include "host/HostLog.h"
#include "host/QueryHandler.h"

namespace kavhost {
namespace {

const char kAppName[] = "kavsnmpd";
// A subagent that lost its master tries again this often.
constexpr int kAgentxPingSeconds = 5;

bool AddSink(const std::string& sink, int version, const std::string& community) {
  int pdu_type = version == SNMP_VERSION_1 ? SNMP_MSG_TRAP : SNMP_MSG_TRAP2;
  size_t colon = sink.rfind(':');
  std::string host = colon == std::string::npos ? sink : sink.substr(0, colon);
  std::string target = colon == std::string::npos ? sink + ":162" : sink;
  // Traps to a receiver on this machine leave from loopback, so the sending
  // socket is not bound to every interface.
  const char* source = host == "localhost" || host.rfind("127.", 0) == 0 ? "127.0.0.1" : nullptr;
  netsnmp_session* session = netsnmp_create_v1v2_notification_session(
      target.c_str(), nullptr, community.c_str(), source, version, pdu_type, nullptr, nullptr,
      nullptr);
  return session != nullptr;
}

}  // namespace

std::string ListenIpv4Address(const std::string& listen) {
  std::string address = listen;
  if (address.rfind("udp:", 0) == 0 || address.rfind("UDP:", 0) == 0) address = address.substr(4);
  if (address.find(',') != std::string::npos) return "";
  size_t colon = address.rfind(':');
  std::string host = colon == std::string::npos ? address : address.substr(0, colon);
  in_addr ipv4;
  if (inet_pton(AF_INET, host.c_str(), &ipv4) != 1 || ipv4.s_addr == htonl(INADDR_ANY))
    return "";
  return host;
}

SnmpService::~SnmpService() { Stop(); }

bool SnmpService::Start(const HostOptions& options, AgentModule* agent, std::string* error) {
  master_ = options.agentx_socket.empty();

  const char* tmpdir = getenv("TMPDIR");
  std::string pattern = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/kavsnmpd-XXXXXX";
  std::vector<char> dir(pattern.begin(), pattern.end());
  dir.push_back('\0');
  if (mkdtemp(dir.data()) == nullptr) {
    *error = "cannot create a private state directory " + pattern + ": " + strerror(errno);
    return false;
  }
  persistent_dir_ = dir.data();

  // The library's own notices go to stderr too; its chatter only with --verbose.
  netsnmp_log_handler* log = netsnmp_register_loghandler(NETSNMP_LOGHANDLER_STDERR,
                                                         IsVerbose() ? LOG_DEBUG : LOG_NOTICE);
  if (log != nullptr) log->token = strdup("stderr");
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_LOAD_HOST_FILES, 1);
  netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_PERSISTENT_DIR,
                        persistent_dir_.c_str());
  // The host needs no MIB files: names travel as numbers.
  netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIBDIRS, persistent_dir_.c_str());
  setenv("MIBS", "", 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_NO_ROOT_ACCESS, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_MASTER, 0);
  char no_smux[] = "-smux";
  add_to_init_list(no_smux);

  netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID,
                         NETSNMP_DS_AGENT_DONT_LOG_TCPWRAPPERS_CONNECTS, 1);
  if (master_) {
    netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_PORTS,
                          options.listen.c_str());
    // The access rule is the one configuration line we need: SNMPv1 and v2c
    // with this community, read-only, from anywhere the listener is reachable.
    std::string access = "rocommunity " + options.community + " default";
    std::vector<char> line(access.begin(), access.end());
    line.push_back('\0');
    netsnmp_config_remember(line.data());
    std::string agent_address = ListenIpv4Address(options.listen);
    if (!agent_address.empty())
      netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_TRAP_ADDR,
                            agent_address.c_str());
  } else {
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 1);
    netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET,
                          options.agentx_socket.c_str());
    netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL,
                       kAgentxPingSeconds);
  }

  if (init_agent(kAppName) != 0) {
    *error = "cannot initialise the SNMP agent library";
    return false;
  }
  started_ = true;
  if (!RegisterQueryHandler(agent, error)) return false;
  init_snmp(kAppName);

  if (master_) {
    if (init_master_agent() != 0) {
      *error = "cannot listen on " + options.listen;
      return false;
    }
    for (const std::string& sink : options.trap_sinks) {
      if (!AddSink(sink, SNMP_VERSION_1, options.community)) {
        *error = "cannot open the trap sink " + sink;
        return false;
      }
    }
    for (const std::string& sink : options.trap2_sinks) {
      if (!AddSink(sink, SNMP_VERSION_2c, options.community)) {
        *error = "cannot open the trap sink " + sink;
        return false;
      }
    }
    LogInfo("serving %s on %s (community read-only)", OidToText(agent->view()).c_str(),
            options.listen.c_str());
  } else {
    if (!options.trap_sinks.empty() || !options.trap2_sinks.empty())
      LogInfo("AgentX mode: traps go to the master agent; --trap-sink is ignored");
    LogInfo("serving %s as an AgentX subagent of %s", OidToText(agent->view()).c_str(),
            options.agentx_socket.c_str());
  }
  return true;
}

void SnmpService::RunOnce() { agent_check_and_process(1); }

void SnmpService::Stop() {
  if (started_) {
    snmp_shutdown(kAppName);
    if (master_) shutdown_master_agent();
    shutdown_agent();
    started_ = false;
  }
  if (!persistent_dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(persistent_dir_, ignored);
    persistent_dir_.clear();
  }
}

}  // namespace kavhost
