// A small SNMP extension agent for testing kavsnmpd on its own: it serves a
// fixed table of objects in the 1.3.6.1.4.1.47319 view, answers some names in
// the awkward ways a real agent may (unchanged bindings, error statuses, names
// outside the view or not after the request, slow answers, unknown types), and
// raises traps when a line is written to the FIFO named by FAKE_AGENT_FIFO.
//
// Environment:
//   FAKE_AGENT_LOG            file that receives one line per entry-point call
//   FAKE_AGENT_FIFO           FIFO read for "trap SPECIFIC TEXT" and "storm N"
//   FAKE_AGENT_NO_CONTROLLER  1: SnmpExtensionInit reports no controller
//   FAKE_AGENT_HEAP_NAMES     1: trap names are handed over as heap copies
//   FAKE_AGENT_SLOW_MS        how long the slow object takes (default 1500)
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/windows.h"
#include "platform/snmp.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

UINT kView[] = {1, 3, 6, 1, 4, 1, 47319};
UINT kEnterprise[] = {1, 3, 6, 1, 4, 1, 47319, 1, 1};
UINT kSysDescr[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
BYTE kStaticText[] = "static text";

struct FakeObject {
  std::vector<UINT> name;
  BYTE type;
  long number;
  std::string text;
};

std::vector<UINT> Name(std::initializer_list<UINT> tail) {
  std::vector<UINT> name(kView, kView + 7);
  name.insert(name.end(), tail);
  return name;
}

// Sorted by name: the walk order.
const std::vector<FakeObject>& Objects() {
  static const std::vector<FakeObject> objects = {
      {Name({1, 1, 1, 0}), ASN_INTEGER, 42, ""},
      {Name({1, 1, 2, 0}), ASN_OCTETSTRING, 0, "fake controller one"},
      {Name({1, 1, 3, 0}), ASN_OCTETSTRING, 0, ""},
      {Name({1, 1, 4, 0}), ASN_COUNTER32, 4000000000L, ""},
      {Name({1, 1, 5, 0}), ASN_TIMETICKS, 12345, ""},
      {Name({1, 1, 6, 0}), ASN_IPADDRESS, 0, std::string("\x7f\x00\x00\x01", 4)},
      {Name({1, 1, 7, 0}), ASN_OBJECTIDENTIFIER, 0, ""},
      {Name({1, 1, 8, 0}), ASN_OCTETSTRING, -1, ""},  // static, not dynamic
      {Name({1, 2, 1, 0}), ASN_INTEGER, -7, ""},
      {Name({1, 2, 2, 0}), ASN_OCTETSTRING, 0, "fake controller two"},
  };
  return objects;
}

// Names answered specially by GET (not part of the walk).
const std::vector<UINT> kErrorObject = Name({1, 9, 0});        // genErr
const std::vector<UINT> kSlowObject = Name({1, 1, 11, 0});     // slow INTEGER 11
const std::vector<UINT> kUnknownTypeObject = Name({1, 1, 12, 0});
// GETNEXT below these prefixes answers wrongly on purpose.
const std::vector<UINT> kBackwardsPrefix = Name({1, 3});  // answers a smaller name
const std::vector<UINT> kOutsidePrefix = Name({1, 4});    // answers outside the view

void Log(const std::string& line) {
  const char* path = getenv("FAKE_AGENT_LOG");
  if (path == nullptr) return;
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string text = line + "\n";
  if (write(fd, text.data(), text.size()) < 0) {
  }
  close(fd);
}

int Compare(const UINT* a, UINT a_len, const std::vector<UINT>& b) {
  for (UINT i = 0; i < a_len && i < b.size(); ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (a_len == b.size()) return 0;
  return a_len < b.size() ? -1 : 1;
}

bool HasPrefix(const AsnObjectIdentifier& name, const std::vector<UINT>& prefix) {
  if (name.idLength < prefix.size()) return false;
  return memcmp(name.ids, prefix.data(), prefix.size() * sizeof(UINT)) == 0;
}

bool SetName(AsnObjectIdentifier* name, const std::vector<UINT>& ids) {
  SnmpUtilOidFree(name);
  name->ids = static_cast<UINT*>(SnmpUtilMemAlloc(static_cast<UINT>(ids.size() * sizeof(UINT))));
  if (name->ids == nullptr) return false;
  memcpy(name->ids, ids.data(), ids.size() * sizeof(UINT));
  name->idLength = static_cast<UINT>(ids.size());
  return true;
}

bool SetString(AsnAny* value, BYTE type, const std::string& bytes) {
  value->asnType = type;
  value->asnValue.string.length = static_cast<UINT>(bytes.size());
  value->asnValue.string.stream = nullptr;
  value->asnValue.string.dynamic = FALSE;
  if (bytes.empty()) return true;
  value->asnValue.string.stream = static_cast<BYTE*>(SnmpUtilMemAlloc(static_cast<UINT>(bytes.size())));
  if (value->asnValue.string.stream == nullptr) return false;
  memcpy(value->asnValue.string.stream, bytes.data(), bytes.size());
  value->asnValue.string.dynamic = TRUE;
  return true;
}

bool Answer(SnmpVarBind* binding, const FakeObject& object) {
  if (!SetName(&binding->name, object.name)) return false;
  switch (object.type) {
    case ASN_OCTETSTRING:
      if (object.number == -1) {
        binding->value.asnType = ASN_OCTETSTRING;
        binding->value.asnValue.string.stream = kStaticText;
        binding->value.asnValue.string.length = sizeof kStaticText - 1;
        binding->value.asnValue.string.dynamic = FALSE;
        return true;
      }
      return SetString(&binding->value, ASN_OCTETSTRING, object.text);
    case ASN_IPADDRESS:
      return SetString(&binding->value, ASN_IPADDRESS, object.text);
    case ASN_OBJECTIDENTIFIER: {
      binding->value.asnType = ASN_OBJECTIDENTIFIER;
      AsnObjectIdentifier& value = binding->value.asnValue.object;
      value = {0, nullptr};
      return SetName(&value, std::vector<UINT>(kEnterprise, kEnterprise + 9));
    }
    case ASN_COUNTER32:
    case ASN_TIMETICKS:
      binding->value.asnType = object.type;
      binding->value.asnValue.unsigned32 = static_cast<AsnUnsigned32>(object.number);
      return true;
    default:
      binding->value.asnType = ASN_INTEGER;
      binding->value.asnValue.number = static_cast<AsnInteger32>(object.number);
      return true;
  }
}

// Returns the SNMP error status for one binding.
AsnInteger32 Relay(BYTE type, SnmpVarBind* binding) {
  AsnObjectIdentifier& name = binding->name;
  if (type == SNMP_PDU_GET) {
    if (Compare(name.ids, name.idLength, kErrorObject) == 0) return SNMP_ERRORSTATUS_GENERR;
    if (Compare(name.ids, name.idLength, kSlowObject) == 0) {
      const char* slow = getenv("FAKE_AGENT_SLOW_MS");
      usleep(static_cast<useconds_t>((slow ? atoi(slow) : 1500)) * 1000);
      binding->value.asnType = ASN_INTEGER;
      binding->value.asnValue.number = 11;
      return SNMP_ERRORSTATUS_NOERROR;
    }
    if (Compare(name.ids, name.idLength, kUnknownTypeObject) == 0) {
      binding->value.asnType = 0x99;
      return SNMP_ERRORSTATUS_NOERROR;
    }
    for (const FakeObject& object : Objects()) {
      if (Compare(name.ids, name.idLength, object.name) == 0)
        return Answer(binding, object) ? SNMP_ERRORSTATUS_NOERROR : SNMP_ERRORSTATUS_GENERR;
    }
    return SNMP_ERRORSTATUS_NOERROR;  // unchanged: no such object
  }
  if (HasPrefix(name, kBackwardsPrefix)) return Answer(binding, Objects()[0]) ? 0 : 5;
  if (HasPrefix(name, kOutsidePrefix)) {
    binding->value.asnType = ASN_INTEGER;
    binding->value.asnValue.number = 1;
    return SetName(&name, {1, 3, 6, 1, 4, 1, 47320, 1}) ? 0 : 5;
  }
  for (const FakeObject& object : Objects()) {
    if (Compare(name.ids, name.idLength, object.name) < 0)
      return Answer(binding, object) ? SNMP_ERRORSTATUS_NOERROR : SNMP_ERRORSTATUS_GENERR;
  }
  return SNMP_ERRORSTATUS_NOERROR;  // past the last object: unchanged
}

struct PendingTrap {
  int specific;
  std::string message;
};

class TrapSource {
 public:
  ~TrapSource() { Stop(); }

  bool Start() {
    event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (event_ == nullptr) return false;
    const char* fifo = getenv("FAKE_AGENT_FIFO");
    if (fifo != nullptr) {
      fd_ = open(fifo, O_RDWR | O_NONBLOCK | O_CLOEXEC);
      if (fd_ >= 0) reader_ = std::thread([this] { Read(); });
    }
    return true;
  }

  void Stop() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  HANDLE event() const { return event_; }

  bool Take(PendingTrap* trap) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) return false;
    *trap = queue_.front();
    queue_.pop_front();
    return true;
  }

 private:
  void Raise(int specific, const std::string& message) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back({specific, message});
    }
    SetEvent(event_);
  }

  void Handle(const std::string& line) {
    int value = 0;
    char text[512] = "";
    if (sscanf(line.c_str(), "trap %d %511[^\n]", &value, text) >= 1) {
      Raise(value, text);
    } else if (sscanf(line.c_str(), "storm %d", &value) == 1) {
      for (int i = 0; i < value; ++i) Raise(1000 + i, "storm " + std::to_string(i));
    }
  }

  void Read() {
    std::string pending;
    while (!stop_) {
      pollfd p = {fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) continue;
      pending.append(buffer, static_cast<size_t>(n));
      size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        Handle(pending.substr(0, end));
        pending.erase(0, end + 1);
      }
    }
  }

  HANDLE event_ = nullptr;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::thread reader_;
  std::mutex mutex_;
  std::deque<PendingTrap> queue_;
};

// Lives as long as the library is loaded; its destruction is the unload.
struct AgentState {
  ~AgentState() {
    traps.Stop();
    Log("unload");
  }
  TrapSource traps;
  DWORD uptime_reference = 0;
};
AgentState g_state;

}  // namespace

FAKE_EXPORT BOOL SnmpExtensionInit(DWORD uptime_reference, HANDLE* trap_event,
                                   AsnObjectIdentifier* view) {
  const char* none = getenv("FAKE_AGENT_NO_CONTROLLER");
  if (none != nullptr && strcmp(none, "1") == 0) {
    Log("init no-controller");
    return FALSE;
  }
  if (!g_state.traps.Start()) return FALSE;
  g_state.uptime_reference = uptime_reference;
  *trap_event = g_state.traps.event();
  view->idLength = 7;
  view->ids = kView;
  Log("init");
  return TRUE;
}

FAKE_EXPORT BOOL SnmpExtensionQuery(BYTE type, RFC1157VarBindList* bindings,
                                    AsnInteger32* error_status, AsnInteger32* error_index) {
  Log("query " + std::to_string(type) + " " + std::to_string(bindings->len) + " " +
      (bindings->len > 0 ? SnmpUtilOidToA(&bindings->list[0].name) : ""));
  if (type == SNMP_PDU_SET) Log("SET reached the agent");
  for (UINT i = 0; i < bindings->len; ++i) {
    AsnInteger32 status = Relay(type, &bindings->list[i]);
    *error_status = status;
    if (status != SNMP_ERRORSTATUS_NOERROR) {
      *error_index = static_cast<AsnInteger32>(i + 1);
      break;
    }
  }
  return TRUE;
}

FAKE_EXPORT BOOL SnmpExtensionTrap(AsnObjectIdentifier* enterprise, AsnInteger32* generic,
                                   AsnInteger32* specific, AsnTimeticks* timestamp,
                                   RFC1157VarBindList* bindings) {
  PendingTrap trap;
  if (!g_state.traps.Take(&trap)) return FALSE;
  bool heap = getenv("FAKE_AGENT_HEAP_NAMES") != nullptr;
  enterprise->idLength = 9;
  enterprise->ids = kEnterprise;
  *generic = SNMP_GENERICTRAP_ENTERSPECIFIC;
  *specific = trap.specific;
  *timestamp = GetTickCount() - g_state.uptime_reference;
  SnmpVarBind* binding = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind)));
  if (binding == nullptr) return FALSE;
  binding->name.idLength = 9;
  binding->name.ids = kSysDescr;
  if (heap) {
    AsnObjectIdentifier constant_enterprise = *enterprise;
    AsnObjectIdentifier constant_name = binding->name;
    SnmpUtilOidCpy(enterprise, &constant_enterprise);
    SnmpUtilOidCpy(&binding->name, &constant_name);
  }
  SetString(&binding->value, ASN_OCTETSTRING, trap.message);
  bindings->list = binding;
  bindings->len = 1;
  Log("trap " + std::to_string(trap.specific));
  return TRUE;
}
