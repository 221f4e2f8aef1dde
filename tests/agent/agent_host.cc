// The agent test host; see agent_host.h.
#include "tests/agent/agent_host.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

std::atomic<UINT> g_FailSize{0};
std::mutex g_LogLock;
std::vector<std::string> g_ServerLog;

void CollectServerLog(const std::string& line) {
  std::lock_guard<std::mutex> hold(g_LogLock);
  g_ServerLog.push_back(line);
}

Var ReadVar(const SnmpVarBind& b) {
  Var v;
  if (b.name.ids != nullptr) v.name.assign(b.name.ids, b.name.ids + b.name.idLength);
  v.type = b.value.asnType;
  if (v.type == ASN_INTEGER) v.number = b.value.asnValue.number;
  if (v.type == ASN_OCTETSTRING && b.value.asnValue.string.stream != nullptr) {
    v.text.assign(reinterpret_cast<const char*>(b.value.asnValue.string.stream),
                  b.value.asnValue.string.length);
  }
  return v;
}

}  // namespace

// Stands in front of the platform's allocator (the test program exports it).
extern "C" LPVOID SnmpUtilMemAlloc(UINT bytes) {
  using Alloc = LPVOID (*)(UINT);
  static Alloc real = reinterpret_cast<Alloc>(dlsym(RTLD_NEXT, "SnmpUtilMemAlloc"));
  UINT fail = g_FailSize.load();
  if (fail != 0 && bytes == fail) return nullptr;
  return real(bytes);
}

void FailAllocationsOfSize(UINT bytes) { g_FailSize.store(bytes); }

Oid Enterprise(std::initializer_list<UINT> tail) {
  Oid oid = {1, 3, 6, 1, 4, 1, 47319};
  oid.insert(oid.end(), tail.begin(), tail.end());
  return oid;
}

std::string Dotted(const Oid& oid) {
  std::string text;
  for (size_t i = 0; i < oid.size(); ++i) text += (i ? "." : "") + std::to_string(oid[i]);
  return text;
}

std::string ControllerJson(int port, const std::string& extra) {
  // No monitor readings and no arrays keep a walk short.
  std::string json = "{\"port\": " + std::to_string(port) +
                     ", \"hardware_monitor\": {\"voltages\": [], \"fans\": [], \"temperatures\": []}";
  if (!extra.empty()) json += ", " + extra;
  return json + "}";
}

std::string ScenarioJson(const std::vector<std::string>& controllers) {
  std::string json = "{\"name\": \"agent-test\", \"controllers\": [";
  for (size_t i = 0; i < controllers.size(); ++i) json += (i ? ", " : "") + controllers[i];
  return json + "]}";
}

void AgentHost::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kavagent.XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
  device_dir_ = root_ + "/devices";
  program_files_ = root_ + "/programs";
  trace_file_ = root_ + "/agent-trace.log";
  std::filesystem::create_directories(device_dir_);
  std::filesystem::create_directories(program_files_ + "/KVADM/SNMP");
  std::filesystem::create_directories(root_ + "/ipc");
  // Before any thread runs: the platform and the agent read these.
  setenv("KAV_DEVICE_DIR", device_dir_.c_str(), 1);
  setenv("KAV_PROGRAM_FILES", program_files_.c_str(), 1);
  setenv("KAV_IPC_DIR", (root_ + "/ipc").c_str(), 1);
  setenv("KAV_AGENT_TRACE", trace_file_.c_str(), 1);
  FailAllocationsOfSize(0);
  std::lock_guard<std::mutex> hold(g_LogLock);
  g_ServerLog.clear();
}

void AgentHost::TearDown() {
  if (library_ != nullptr) Unload();
  if (server_) server_->Stop();
  server_.reset();
  sim_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void AgentHost::StartSimulator(const std::string& scenario_json) {
  std::string error;
  sim_ = kavsim::Simulator::LoadText(scenario_json, &error);
  ASSERT_TRUE(sim_) << error;
  server_ = std::make_unique<kavsim::DeviceServer>(*sim_, device_dir_);
  server_->SetLog(CollectServerLog);
  ASSERT_TRUE(server_->Start(&error)) << error;
}

kavsim::Controller* AgentHost::At(int port) { return sim_ ? sim_->At(port) : nullptr; }

void AgentHost::WriteSettingsFile(const std::string& text) {
  std::string path = program_files_ + "/KVADM/SNMP/KavSnmp.ini";
  if (text.empty()) {
    std::filesystem::remove(path);
    return;
  }
  // Replace atomically, as the tray tool's writer does.
  std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << text;
  }
  std::filesystem::rename(temp, path);
}

void AgentHost::WriteSettings(int level, const std::string& community) {
  WriteSettingsFile("[SNMP]\nNoLevel=" + std::to_string(level) + "\nCommunity=" + community + "\n");
}

void AgentHost::Load() {
  library_ = dlopen(KAV_AGENT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library_, nullptr) << dlerror();
  init_ = reinterpret_cast<PFNSNMPEXTENSIONINIT>(dlsym(library_, "SnmpExtensionInit"));
  query_ = reinterpret_cast<PFNSNMPEXTENSIONQUERY>(dlsym(library_, "SnmpExtensionQuery"));
  trap_ = reinterpret_cast<PFNSNMPEXTENSIONTRAP>(dlsym(library_, "SnmpExtensionTrap"));
  ASSERT_TRUE(init_ && query_ && trap_);
}

void AgentHost::Unload() {
  ASSERT_NE(library_, nullptr);
  EXPECT_EQ(dlclose(library_), 0);
  library_ = nullptr;
  init_ = nullptr;
  query_ = nullptr;
  trap_ = nullptr;
  EXPECT_EQ(dlopen(KAV_AGENT_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr) << "agent still loaded";
}

BOOL AgentHost::Init(DWORD uptime_reference) {
  return init_(uptime_reference, &trap_event_, &view_);
}

Reply AgentHost::Query(BYTE request_type, const std::vector<Oid>& names) {
  RFC1157VarBindList list = {nullptr, 0};
  if (!names.empty()) {
    list.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(
        static_cast<UINT>(names.size() * sizeof(SnmpVarBind))));
    list.len = static_cast<UINT>(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      AsnObjectIdentifier name = {static_cast<UINT>(names[i].size()),
                                  const_cast<UINT*>(names[i].data())};
      SnmpUtilOidCpy(&list.list[i].name, &name);
      list.list[i].value.asnType = ASN_NULL;
    }
  }
  Reply reply;
  // On the test's main thread, as a host's own SNMP loop calls it: the agent
  // must leave no per-thread storage behind when it is unloaded.
  reply.result = query_(request_type, &list, &reply.error_status, &reply.error_index);
  for (UINT i = 0; i < list.len; ++i) reply.vars.push_back(ReadVar(list.list[i]));
  SnmpUtilVarBindListFree(&list);
  return reply;
}

Var AgentHost::Get(const Oid& name) {
  Reply r = Query(SNMP_PDU_GET, {name});
  return r.vars.at(0);
}

Var AgentHost::GetNext(const Oid& name) {
  Reply r = Query(SNMP_PDU_GETNEXT, {name});
  return r.vars.at(0);
}

std::vector<Var> AgentHost::Walk(const Oid& start, size_t limit) {
  std::vector<Var> walked;
  Oid at = start;
  while (walked.size() < limit) {
    Var v = GetNext(at);
    if (v.name == at) break;  // the agent left the binding as it came: the end
    walked.push_back(v);
    at = v.name;
  }
  return walked;
}

std::vector<Trap> AgentHost::DrainTraps() {
  std::vector<Trap> traps;
  for (;;) {
    Trap t;
    AsnObjectIdentifier enterprise = {0, nullptr};
    RFC1157VarBindList bindings = {nullptr, 0};
    if (!trap_(&enterprise, &t.generic, &t.specific, &t.stamp, &bindings)) break;
    if (enterprise.ids != nullptr) {
      t.enterprise.assign(enterprise.ids, enterprise.ids + enterprise.idLength);
    }
    EXPECT_EQ(bindings.len, 1u);
    if (bindings.len >= 1 && bindings.list != nullptr) {
      Var v = ReadVar(bindings.list[0]);
      t.name = v.name;
      t.type = v.type;
      t.message = v.text;
    }
    SnmpUtilVarBindListFree(&bindings);
    traps.push_back(t);
  }
  return traps;
}

std::vector<Trap> AgentHost::CollectTraps(size_t count, int timeout_ms) {
  std::vector<Trap> traps;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (traps.size() < count && std::chrono::steady_clock::now() < deadline) {
    if (WaitForSingleObject(trap_event_, 50) != WAIT_OBJECT_0) continue;
    for (Trap& t : DrainTraps()) traps.push_back(t);
  }
  return traps;
}

std::vector<std::string> AgentHost::TraceLines() const {
  std::vector<std::string> lines;
  std::ifstream in(trace_file_, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  size_t begin = 0;
  for (size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
    lines.push_back(text.substr(begin, end - begin));
  }
  return lines;
}

int AgentHost::CountTrace(const std::string& line) const {
  int n = 0;
  for (const std::string& l : TraceLines()) n += l == line;
  return n;
}

bool AgentHost::WaitForTrace(const std::string& line, int count, int timeout_ms) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (CountTrace(line) < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::vector<std::string> AgentHost::ServerLog() {
  std::lock_guard<std::mutex> hold(g_LogLock);
  return g_ServerLog;
}
