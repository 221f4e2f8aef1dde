// The shipped MIB files: clean for smilint, loadable by snmptranslate, and
// naming every object the firmware's SNMP engine serves. Skipped where the
// tools are not installed.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "SimTempDir.h"

#include "sim/Simulator.h"
#include "sim/snmp/MibView.h"

extern char** environ;

namespace kavsim {
namespace {

const std::string kMibs = KAV_SIM_MIB_DIR;

bool Have(const char* tool) {
  std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// Runs a shell command; stdout and stderr together.
std::string Output(const std::string& cmd, int* status) {
  std::string out;
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = pclose(p);
  return out;
}

// System MIB directories first; the stand-ins in mibs/base only where the
// standard modules are missing.
std::string Translate(const std::string& args, int* status) {
  return Output("snmptranslate -M +:" + kMibs + ":" + kMibs + "/base -m +ALL " + args, status);
}

TEST(MibFilesTest, SmilintReportsNothing) {
  if (!Have("smilint")) GTEST_SKIP() << "smilint not installed";
  int status = 0;
  std::string out = Output("SMIPATH=:" + kMibs + ":" + kMibs + "/base smilint -l 6 " + kMibs +
                               "/KAVOR-RAID-MIB.txt " + kMibs + "/KAVOR-RAID-TRAP-MIB.txt",
                           &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "");
}

TEST(MibFilesTest, SnmptranslateLoadsBothModules) {
  if (!Have("snmptranslate")) GTEST_SKIP() << "snmptranslate not installed";
  struct Case {
    const char* name;
    const char* oid;
  } cases[] = {
      {"KAVOR-RAID-MIB::kavCtlFirmwareVersion.0", ".1.3.6.1.4.1.47319.1.1.1.4.0"},
      {"KAVOR-RAID-MIB::kavDiskTemperature", ".1.3.6.1.4.1.47319.1.1.5.1.1.10"},
      {"KAVOR-RAID-TRAP-MIB::kavRaidSetCreated", ".1.3.6.1.4.1.47319.1.1.0.128"},
      {"KAVOR-RAID-TRAP-MIB::kavVolumeDegraded", ".1.3.6.1.4.1.47319.1.1.0.267"},
      {"KAVOR-RAID-TRAP-MIB::kavCondRemoved", ".1.3.6.1.4.1.47319.1.1.0.791"},
  };
  for (const Case& c : cases) {
    int status = 0;
    std::string out = Translate(std::string("-On ") + c.name, &status);
    EXPECT_NE(out.find(std::string(c.oid) + "\n"), std::string::npos) << c.name << ":\n" << out;
    EXPECT_EQ(out.find("KAVOR"), std::string::npos) << "complaints about our modules:\n" << out;
  }
}

TEST(MibFilesTest, EveryServedObjectHasAName) {
  if (!Have("snmptranslate")) GTEST_SKIP() << "snmptranslate not installed";
  int status = 0;
  std::string listing = Output("snmptranslate -M +:" + kMibs + ":" + kMibs + "/base -m KAVOR-RAID-MIB -Tz", &status);
  std::map<std::string, std::string> labels;  // dotted OID -> name
  std::istringstream in(listing);
  std::string name, oid;
  while (in >> name >> oid) {
    if (name.size() > 2 && oid.size() > 2) labels[oid.substr(1, oid.size() - 2)] = name.substr(1, name.size() - 2);
  }
  for (const char* file : {"two-controllers.json", "kind3.json", "jbod.json"}) {
    std::string error;
    auto sim = Simulator::LoadFile(std::string(KAV_SIM_SCENARIO_DIR) + "/" + file, &error);
    ASSERT_TRUE(sim) << error;
    std::vector<MibObject> view;
    sim->At(sim->Ports()[0])->WithState([&view](FirmwareState& s) { view = BuildMibView(s); });
    for (const MibObject& o : view) {
      std::string column;
      for (size_t i = 0; i + 1 < o.name.size(); ++i) column += (i ? "." : "") + std::to_string(o.name[i]);
      EXPECT_TRUE(labels.count(column)) << file << ": no object named at " << column;
    }
  }
}

int FreeUdpPort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  close(fd);
  return port;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(MibFilesTest, SnmptrapdNamesTheTraps) {
  if (!Have("snmptrapd") || !Have("snmptrap")) GTEST_SKIP() << "snmptrapd or snmptrap not installed";
  testing::TempDir tmp;
  std::ofstream(tmp.path() + "/trapd.conf") << "disableAuthorization yes\n";
  std::string log = tmp.path() + "/traps.log";
  std::string listen = "udp:127.0.0.1:" + std::to_string(FreeUdpPort());
  std::string mibs = "+:" + kMibs + ":" + kMibs + "/base";
  std::vector<std::string> args = {"snmptrapd", "-f", "-Lf", log, "-C", "-c", tmp.path() + "/trapd.conf",
                                   "-M", mibs, "-m", "+KAVOR-RAID-MIB:KAVOR-RAID-TRAP-MIB", listen};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawnp(&pid, "snmptrapd", nullptr, nullptr, argv.data(), environ), 0);
  auto wait_for = [&log](const std::string& text) {
    for (int i = 0; i < 300; ++i) {
      if (Slurp(log).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  bool started = wait_for("NET-SNMP version");
  int status = 0;
  // Volume degraded: type 2, code 11, specific code 2 * 128 + 11.
  std::string sent = Output("snmptrap -v1 -c public -M " + mibs + " -m +KAVOR-RAID-MIB " +
                                listen.substr(4) + " 1.3.6.1.4.1.47319.1.1 '' 6 267 '' 1.3.6.1.2.1.1.1.0 s " +
                                "'Controller#1 Volume#00 Volume Degraded'",
                            &status);
  bool named = started && wait_for("kavVolumeDegraded");
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  EXPECT_TRUE(started) << Slurp(log);
  EXPECT_EQ(status, 0) << sent;
  EXPECT_TRUE(named) << Slurp(log);
  EXPECT_NE(Slurp(log).find("Controller#1 Volume#00 Volume Degraded"), std::string::npos);
}

}  // namespace
}  // namespace kavsim
