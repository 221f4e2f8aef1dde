// Loading the agent and calling its SNMP extension entry points.
//
// Ownership follows the platform: every name and string handed to the agent
// comes from SnmpUtilMemAlloc, and whatever the agent hands back is released
// here. The agent may also hand over names that point at its own constant
// arrays (the trap's enterprise and binding name, the view); memory inside a
// loaded image is never freed, so either form is safe.
#include "host/AgentModule.h"

#include <dlfcn.h>

#include <cstring>

#include "host/HostLog.h"
#include "platform/snmp.h"
#include "platform/sync.h"
#include "platform/threads.h"

namespace kavhost {
namespace {

using InitFn = BOOL (*)(DWORD, HANDLE*, AsnObjectIdentifier*);
using QueryFn = BOOL (*)(BYTE, RFC1157VarBindList*, AsnInteger32*, AsnInteger32*);
using TrapFn = BOOL (*)(AsnObjectIdentifier*, AsnInteger32*, AsnInteger32*, AsnTimeticks*,
                        RFC1157VarBindList*);

// Longest name or OID value taken from the agent; SNMP allows 128 sub-identifiers.
constexpr UINT kMaxOidLength = 128;
// A single string value larger than any SNMP message could carry is refused.
constexpr UINT kMaxStringLength = 65535;

bool InsideLoadedImage(const void* address) {
  Dl_info info;
  return address != nullptr && dladdr(address, &info) != 0;
}

void ReleaseMemory(void* memory) {
  if (memory != nullptr && !InsideLoadedImage(memory)) SnmpUtilMemFree(memory);
}

void ReleaseOid(AsnObjectIdentifier* oid) {
  ReleaseMemory(oid->ids);
  oid->ids = nullptr;
  oid->idLength = 0;
}

bool IsStringType(BYTE type) {
  return type == ASN_OCTETSTRING || type == ASN_OPAQUE || type == ASN_BITS ||
         type == ASN_IPADDRESS;
}

void ReleaseValue(AsnAny* value) {
  if (IsStringType(value->asnType)) {
    if (value->asnValue.string.dynamic) ReleaseMemory(value->asnValue.string.stream);
  } else if (value->asnType == ASN_OBJECTIDENTIFIER) {
    ReleaseOid(&value->asnValue.object);
  }
  memset(value, 0, sizeof *value);
  value->asnType = ASN_NULL;
}

// Releases every binding and the array. For a request list, original and
// allocated are the array and count we handed over: whatever the agent did to
// the count, exactly those bindings are released, never one beyond the array.
void ReleaseList(RFC1157VarBindList* list, const SnmpVarBind* original = nullptr,
                 UINT allocated = 0) {
  if (list->list != nullptr) {
    UINT count = list->list == original ? allocated : list->len;
    for (UINT i = 0; i < count; ++i) {
      ReleaseOid(&list->list[i].name);
      ReleaseValue(&list->list[i].value);
    }
  }
  ReleaseMemory(list->list);
  list->list = nullptr;
  list->len = 0;
}

bool CopyOid(const AsnObjectIdentifier& oid, OidVector* out) {
  out->clear();
  if (oid.idLength > kMaxOidLength) return false;
  if (oid.idLength > 0 && oid.ids == nullptr) return false;
  out->assign(oid.ids, oid.ids + oid.idLength);
  return true;
}

bool CopyValue(const AsnAny& any, HostValue* out) {
  *out = HostValue();
  out->type = any.asnType;
  switch (any.asnType) {
    case ASN_NULL:
      return true;
    case ASN_INTEGER:
      out->number = any.asnValue.number;
      return true;
    case ASN_COUNTER32:
    case ASN_GAUGE32:
    case ASN_TIMETICKS:
    case ASN_UNSIGNED32:
      out->number = any.asnValue.unsigned32;
      return true;
    case ASN_COUNTER64:
      out->counter64 = (uint64_t{any.asnValue.counter64.highpart} << 32) |
                       any.asnValue.counter64.lowpart;
      return true;
    case ASN_OCTETSTRING:
    case ASN_OPAQUE:
    case ASN_BITS:
    case ASN_IPADDRESS: {
      const AsnOctetString& s = any.asnValue.string;
      if (s.length > kMaxStringLength || (s.length > 0 && s.stream == nullptr)) return false;
      if (any.asnType == ASN_IPADDRESS && s.length != 4) return false;
      if (s.length > 0) out->bytes.assign(reinterpret_cast<const char*>(s.stream), s.length);
      return true;
    }
    case ASN_OBJECTIDENTIFIER:
      return CopyOid(any.asnValue.object, &out->ids);
    default:
      return false;
  }
}

void CopyBinding(const SnmpVarBind& binding, HostBinding* out) {
  if (!CopyOid(binding.name, &out->name)) {
    out->value_valid = false;
    return;
  }
  out->value_valid = CopyValue(binding.value, &out->value);
}

}  // namespace

AgentModule::~AgentModule() { Unload(); }

bool AgentModule::Load(const std::string& path, std::string* error) {
  path_ = path;
  library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) {
    const char* reason = dlerror();
    *error = "cannot load the agent " + path + ": " + (reason ? reason : "unknown reason");
    return false;
  }
  init_ = dlsym(library_, "SnmpExtensionInit");
  query_ = dlsym(library_, "SnmpExtensionQuery");
  trap_ = dlsym(library_, "SnmpExtensionTrap");
  if (init_ == nullptr || query_ == nullptr || trap_ == nullptr) {
    *error = path + " is not an SNMP extension agent (it must export SnmpExtensionInit, "
                    "SnmpExtensionQuery and SnmpExtensionTrap)";
    Unload();
    return false;
  }
  return true;
}

bool AgentModule::Start(std::string* error) {
  HANDLE trap_event = nullptr;
  AsnObjectIdentifier view = {0, nullptr};
  // The reference from which the agent measures its trap time stamps.
  DWORD uptime_reference = GetTickCount();
  if (!reinterpret_cast<InitFn>(init_)(uptime_reference, &trap_event, &view)) {
    *error = "the agent is not ready (SnmpExtensionInit returned FALSE): no controller found";
    return false;
  }
  bool view_ok = CopyOid(view, &view_) && !view_.empty();
  ReleaseOid(&view);
  if (!view_ok) {
    *error = "the agent returned no usable view (SnmpExtensionInit)";
    return false;
  }
  trap_event_ = trap_event;
  trap_event_fd_ = trap_event != nullptr ? KavEventFd(trap_event) : -1;
  if (trap_event_fd_ < 0) LogError("the agent handed over no trap event; no traps will be sent");
  return true;
}

void AgentModule::ConsumeTrapSignal() {
  if (trap_event_ != nullptr) WaitForSingleObject(trap_event_, 0);
}

QueryResult AgentModule::Query(uint8_t request_type, const std::vector<OidVector>& names) {
  QueryResult result;
  result.bindings.resize(names.size());
  for (size_t i = 0; i < names.size(); ++i) result.bindings[i].name = names[i];
  if (names.empty()) return result;

  const UINT count = static_cast<UINT>(names.size());
  RFC1157VarBindList list = {nullptr, 0};
  list.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(count * sizeof(SnmpVarBind)));
  bool allocated = list.list != nullptr;
  if (allocated) {
    list.len = count;
    for (UINT i = 0; i < count && allocated; ++i) {
      SnmpVarBind& binding = list.list[i];
      binding.value.asnType = ASN_NULL;
      const OidVector& name = names[i];
      binding.name.ids = static_cast<UINT*>(SnmpUtilMemAlloc(
          static_cast<UINT>(name.size() * sizeof(UINT))));
      if (binding.name.ids == nullptr) {
        allocated = false;
        break;
      }
      binding.name.idLength = static_cast<UINT>(name.size());
      memcpy(binding.name.ids, name.data(), name.size() * sizeof(UINT));
    }
  }
  if (!allocated) {
    ReleaseList(&list, list.list, count);
    LogError("out of memory for a request of %u bindings", count);
    result.error_status = SNMP_ERRORSTATUS_GENERR;
    result.error_index = 1;
    return result;
  }

  AsnInteger32 error_status = 0;
  AsnInteger32 error_index = 0;
  SnmpVarBind* const original = list.list;
  BOOL answered = reinterpret_cast<QueryFn>(query_)(request_type, &list, &error_status,
                                                    &error_index);
  UINT returned = list.list == nullptr ? 0 : (list.len < count ? list.len : count);
  for (UINT i = 0; i < returned; ++i) CopyBinding(list.list[i], &result.bindings[i]);
  ReleaseList(&list, original, count);

  if (!answered) {
    // The service answers a request its agent refused as a general error.
    result.error_status = SNMP_ERRORSTATUS_GENERR;
    result.error_index = 1;
  } else {
    result.error_status = error_status;
    result.error_index = error_index;
  }
  return result;
}

TrapStatus AgentModule::NextTrap(HostTrap* trap) {
  AsnObjectIdentifier enterprise = {0, nullptr};
  AsnInteger32 generic = 0;
  AsnInteger32 specific = 0;
  AsnTimeticks timestamp = 0;
  RFC1157VarBindList list = {nullptr, 0};
  BOOL got = reinterpret_cast<TrapFn>(trap_)(&enterprise, &generic, &specific, &timestamp, &list);
  bool ok = false;
  if (got) {
    *trap = HostTrap();
    ok = CopyOid(enterprise, &trap->enterprise);
    trap->generic = generic;
    trap->specific = specific;
    trap->timestamp = timestamp;
    if (ok && list.len > 0 && list.list == nullptr) ok = false;
    for (UINT i = 0; ok && i < list.len && i < 64; ++i) {
      HostBinding binding;
      CopyBinding(list.list[i], &binding);
      trap->bindings.push_back(std::move(binding));
    }
    if (!ok) LogError("the agent handed over a malformed trap; it is not sent");
  }
  ReleaseOid(&enterprise);
  ReleaseList(&list);
  if (!got) return TrapStatus::kNone;
  return ok ? TrapStatus::kTrap : TrapStatus::kMalformed;
}

void AgentModule::Unload() {
  if (library_ == nullptr) return;
  trap_event_ = nullptr;
  trap_event_fd_ = -1;
  dlclose(library_);
  library_ = nullptr;
  init_ = query_ = trap_ = nullptr;
  // A library with unique symbols cannot be unloaded; its unload sequence then
  // runs when the process exits, which is still after we stopped serving.
  void* still = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (still != nullptr) {
    LogInfo("the agent stays mapped; its stop sequence runs at exit");
    dlclose(still);
  }
}

}  // namespace kavhost
