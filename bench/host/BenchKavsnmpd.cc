// Benchmark of kavsnmpd with the real agent and kavsim:
//  - the same number of objects walked with GETNEXT through kavsnmpd (agent,
//    library, simulated controllers) and from a private snmpd's own MIB-2, by
//    the same client in the same run, and the ratio;
//  - the time from an event injected with kavsimctl to its trap at snmptrapd
//    (median of 20);
//  - kavsnmpd's CPU use and resident memory while idle with four controllers.
// Prints `name: value unit` lines.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/support/Processes.h"
#include "tests/integration/support/SnmpTools.h"

namespace {

using kavit::Daemon;
using kavit::TempDir;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

[[noreturn]] void Fail(const std::string& why) {
  fprintf(stderr, "bench_kavsnmpd: %s\n", why.c_str());
  exit(1);
}

// GETNEXT from start, one object per request, until max objects, the end of
// the view or a name outside prefix. Returns the objects walked.
int Walk(int port, const std::vector<oid>& start, const std::vector<oid>& prefix, int max,
         double* seconds) {
  netsnmp_session settings;
  snmp_sess_init(&settings);
  std::string peer = "udp:127.0.0.1:" + std::to_string(port);
  settings.peername = const_cast<char*>(peer.c_str());
  settings.version = SNMP_VERSION_2c;
  settings.community = reinterpret_cast<u_char*>(const_cast<char*>("public"));
  settings.community_len = 6;
  settings.timeout = 5000000;
  settings.retries = 0;
  netsnmp_session* session = snmp_open(&settings);
  if (session == nullptr) Fail("cannot open a client session");
  std::vector<oid> name = start;
  int objects = 0;
  Clock::time_point begin = Clock::now();
  while (objects < max) {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GETNEXT);
    snmp_add_null_var(pdu, name.data(), name.size());
    netsnmp_pdu* response = nullptr;
    int status = snmp_synch_response(session, pdu, &response);
    bool ok = status == STAT_SUCCESS && response != nullptr &&
              response->errstat == SNMP_ERR_NOERROR && response->variables != nullptr;
    if (ok) {
      netsnmp_variable_list* var = response->variables;
      ok = var->type != SNMP_ENDOFMIBVIEW && var->type != SNMP_NOSUCHOBJECT &&
           var->name_length >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), var->name);
      if (ok) name.assign(var->name, var->name + var->name_length);
    }
    if (response != nullptr) snmp_free_pdu(response);
    if (!ok) break;
    ++objects;
  }
  *seconds = Seconds(begin);
  snmp_close(session);
  return objects;
}

struct Host {
  TempDir dir;
  Daemon kavsim;
  Daemon kavsnmpd;
  std::string devices;
  int port = 0;

  // kavsnmpd with the fake agent of the integration tests: the host's own
  // share of a walk, without the agent, the library and the simulator.
  void StartFake() {
    port = kavit::FreeUdpPort();
    if (!kavsnmpd.Start({kavit::BinDir() + "/kavsnmpd", "--agent",
                         kavit::LibDir() + "/libkav_fake_agent.so", "--listen",
                         "udp:127.0.0.1:" + std::to_string(port)},
                        dir.File("kavsnmpd.log")) ||
        !kavsnmpd.WaitForLog("kavsnmpd: serving", 20000))
      Fail("kavsnmpd with the fake agent did not come up: " + kavsnmpd.log());
  }

  void Start(const std::string& scenario, int trap_port) {
    devices = dir.File("devices");
    std::string settings_dir = dir.File("pf/KVADM/SNMP");
    if (system(("mkdir -p " + devices + " " + settings_dir + " " + dir.File("ipc")).c_str()) != 0)
      Fail("mkdir");
    kavit::WriteFile(settings_dir + "/KavSnmp.ini", "[SNMP]\nNoLevel=4\nCommunity=public\n");
    if (!kavsim.Start({kavit::BinDir() + "/kavsim", "--device-dir", devices, "--scenario",
                       kavit::SourceDir() + "/sim/scenarios/" + scenario},
                      dir.File("kavsim.log")))
      Fail("cannot start kavsim");
    if (!kavsim.WaitForLog("kavsim: ready", 10000))
      Fail("kavsim did not come up: " + kavsim.log());
    port = kavit::FreeUdpPort();
    std::vector<std::string> argv = {kavit::BinDir() + "/kavsnmpd", "--agent",
                                     kavit::LibDir() + "/libKavSnmpAgent.so", "--listen",
                                     "udp:127.0.0.1:" + std::to_string(port)};
    if (trap_port > 0) {
      argv.push_back("--trap-sink");
      argv.push_back("127.0.0.1:" + std::to_string(trap_port));
    }
    if (!kavsnmpd.Start(argv, dir.File("kavsnmpd.log"),
                        {{"KAV_DEVICE_DIR", devices},
                         {"KAV_PROGRAM_FILES", dir.File("pf")},
                         {"KAV_IPC_DIR", dir.File("ipc")}}) ||
        !kavsnmpd.WaitForLog("kavsnmpd: serving", 20000))
      Fail("kavsnmpd did not come up: " + kavsnmpd.log());
  }
};

void BenchWalks() {
  Host host;
  host.Start("two-controllers.json", 0);
  TempDir dir;
  kavit::MasterAgent snmpd;
  // snmpd as a plain master: its AgentX socket stays unused.
  if (!snmpd.Start(dir.path(), kavit::FreeUdpPort(), kavit::FreeUdpPort()))
    Fail("cannot start snmpd: " + kavit::ReadFile(dir.File("snmpd.log")));

  const std::vector<oid> view = {1, 3, 6, 1, 4, 1, 47319};
  const std::vector<oid> mib2 = {1, 3, 6, 1, 2, 1};
  double seconds = 0;
  int objects = Walk(host.port, view, view, 1000000, &seconds);
  if (objects < 10) Fail("the walk through kavsnmpd gave only " + std::to_string(objects));
  Host fake;
  fake.StartFake();
  std::vector<double> ours, theirs, host_only;
  for (int round = 0; round < 3; ++round) {
    Walk(host.port, view, view, objects, &seconds);
    ours.push_back(objects / seconds);
    int got = Walk(snmpd.port(), mib2, mib2, objects, &seconds);
    if (got < objects) Fail("snmpd's MIB-2 has only " + std::to_string(got) + " objects");
    theirs.push_back(objects / seconds);
    // The fake agent serves 10 objects: walk them again until as many are done.
    double total = 0;
    int done = 0;
    while (done < objects) {
      int n = Walk(fake.port, view, view, objects - done, &seconds);
      if (n <= 0) Fail("the walk of the fake agent gave nothing");
      done += n;
      total += seconds;
    }
    host_only.push_back(done / total);
  }
  printf("walk_objects: %d objects\n", objects);
  printf("walk_kavsnmpd: %.0f objects/s\n", Median(ours));
  printf("walk_snmpd_mib2: %.0f objects/s\n", Median(theirs));
  printf("walk_snmpd_over_kavsnmpd: %.2f x\n", Median(theirs) / Median(ours));
  printf("walk_kavsnmpd_fake_agent: %.0f objects/s\n", Median(host_only));
  printf("walk_snmpd_over_kavsnmpd_fake_agent: %.2f x\n", Median(theirs) / Median(host_only));
}

void BenchEventToTrap() {
  TempDir dir;
  kavit::TrapReceiver traps;
  if (!traps.Start(dir.path(), kavit::FreeUdpPort())) Fail("cannot start snmptrapd");
  Host host;
  host.Start("two-controllers.json", traps.port());
  std::vector<double> latencies;
  for (int i = 0; i < 20; ++i) {
    // Spread the injections over the agent's one-second poll.
    std::this_thread::sleep_for(std::chrono::milliseconds((i * 397) % 1000));
    size_t before = traps.Traps().size();
    Clock::time_point start = Clock::now();
    kavit::RunResult r = kavit::RunProgram(
        {kavit::BinDir() + "/kavsimctl", "--device-dir", host.devices, "event", "--port", "2",
         "--type", "2", "--code", "11", "--name", "Bench"});
    if (r.exit_code != 0) Fail("kavsimctl: " + r.all());
    if (!kavit::WaitUntil([&] { return traps.Traps().size() > before; }, 10000, 2))
      Fail("no trap for event " + std::to_string(i) + ": " + host.kavsnmpd.log());
    latencies.push_back(Seconds(start) * 1000);
  }
  printf("event_to_trap_median: %.0f ms\n", Median(latencies));
  printf("event_to_trap_max: %.0f ms\n", *std::max_element(latencies.begin(), latencies.end()));
}

// CPU time of every thread of the process, in nanoseconds (schedstat has a
// finer grain than the clock ticks of /proc/PID/stat).
double CpuSeconds(pid_t pid) {
  std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  double total = 0;
  for (const auto& entry : std::filesystem::directory_iterator(tasks)) {
    std::ifstream in(entry.path() / "schedstat");
    unsigned long long ns = 0;
    if (in >> ns) total += static_cast<double>(ns) / 1e9;
  }
  return total;
}

long ResidentKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return atol(line.c_str() + 6);
  return -1;
}

void BenchIdle() {
  Host host;
  host.Start("five-controllers.json", 0);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const int seconds = 10;
  double before = CpuSeconds(host.kavsnmpd.pid());
  Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  double after = CpuSeconds(host.kavsnmpd.pid());
  double percent = 100.0 * (after - before) / Seconds(start);
  printf("idle_cpu_four_controllers: %.3f %% of a core\n", percent);
  printf("idle_rss_four_controllers: %ld kB\n", ResidentKb(host.kavsnmpd.pid()));
}

}  // namespace

int main() {
  signal(SIGPIPE, SIG_IGN);
  TempDir tools;
  for (const auto& [key, value] : kavit::ToolEnv(tools.path())) setenv(key.c_str(), value.c_str(), 1);
  init_snmp("bench_kavsnmpd");
  BenchWalks();
  BenchEventToTrap();
  BenchIdle();
  snmp_shutdown("bench_kavsnmpd");
  return 0;
}
