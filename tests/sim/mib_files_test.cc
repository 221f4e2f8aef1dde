// The shipped MIB files: clean for smilint, loadable by snmptranslate, and
// naming every object the firmware's SNMP engine serves. Skipped where the
// tools are not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "sim/Simulator.h"
#include "sim/snmp/MibView.h"

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

}  // namespace
}  // namespace kavsim
