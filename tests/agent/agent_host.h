// A test host for the agent library: loads the built libKavSnmpAgent.so with
// dlopen, as the SNMP service host does, and drives its three entry points
// against simulated controllers served in-process from a temp device folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/snmp.h"
#include "platform/windows.h"
#include "sim/Simulator.h"
#include "win32/KavSnmpAgent/KavSnmpAgent.h"

using Oid = std::vector<UINT>;

// 1.3.6.1.4.1.47319 followed by `tail`.
Oid Enterprise(std::initializer_list<UINT> tail);
std::string Dotted(const Oid& oid);

// What one binding holds after a query.
struct Var {
  Oid name;
  BYTE type = ASN_NULL;
  int32_t number = 0;
  std::string text;
};

struct Reply {
  std::vector<Var> vars;
  AsnInteger32 error_status = -7;  // -7: not written by the agent
  AsnInteger32 error_index = -7;
  BOOL result = FALSE;
};

struct Trap {
  Oid enterprise;
  AsnInteger32 generic = -1;
  AsnInteger32 specific = -1;
  AsnTimeticks stamp = 0;
  Oid name;
  BYTE type = 0;
  std::string message;
};

// Makes the host's next allocations of exactly `bytes` bytes through
// SnmpUtilMemAlloc fail (0 switches this off).
void FailAllocationsOfSize(UINT bytes);

class AgentHost : public ::testing::Test {
 public:
  // Lines of the device server's log ("scsiN: connected", ...).
  static std::vector<std::string> ServerLog();

 protected:
  void SetUp() override;
  void TearDown() override;

  // Controllers of a scenario given as JSON; served until the test ends.
  void StartSimulator(const std::string& scenario_json);
  kavsim::Controller* At(int port);
  // Settings file content ("" removes the file).
  void WriteSettingsFile(const std::string& text);
  void WriteSettings(int level, const std::string& community = "public");

  void Load();
  void Unload();  // also checks that the library is gone afterwards
  BOOL Init(DWORD uptime_reference = 0);

  Reply Query(BYTE request_type, const std::vector<Oid>& names);
  Var Get(const Oid& name);
  Var GetNext(const Oid& name);
  // GETNEXT from `start` until the answer no longer moves on.
  std::vector<Var> Walk(const Oid& start, size_t limit = 1000);

  // Collects traps as a host does (wait on the trap event, then call
  // SnmpExtensionTrap until FALSE) until `count` arrived or `timeout_ms` passed.
  std::vector<Trap> CollectTraps(size_t count, int timeout_ms);
  // Whatever SnmpExtensionTrap hands out now, without waiting.
  std::vector<Trap> DrainTraps();

  std::vector<std::string> TraceLines() const;
  int CountTrace(const std::string& line) const;
  // Waits until `line` has been traced at least `count` times.
  bool WaitForTrace(const std::string& line, int count, int timeout_ms) const;
  std::string root_;
  std::string device_dir_;
  std::string program_files_;
  std::string trace_file_;
  std::unique_ptr<kavsim::Simulator> sim_;
  std::unique_ptr<kavsim::DeviceServer> server_;
  void* library_ = nullptr;
  PFNSNMPEXTENSIONINIT init_ = nullptr;
  PFNSNMPEXTENSIONQUERY query_ = nullptr;
  PFNSNMPEXTENSIONTRAP trap_ = nullptr;
  HANDLE trap_event_ = nullptr;
  AsnObjectIdentifier view_ = {0, nullptr};
};

// A controller entry of a scenario: port plus further JSON members.
std::string ControllerJson(int port, const std::string& extra = "");
std::string ScenarioJson(const std::vector<std::string>& controllers);
