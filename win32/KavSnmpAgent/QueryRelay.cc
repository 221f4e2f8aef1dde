// SnmpExtensionQuery: relays each binding to the controller its name
// addresses and writes the controller engine's answer back into it.
//
// Names under 1.3.6.1.4.1.47319.1.N belong to controller N (position 9). Each
// controller's engine serves its objects as controller 1, so position 9 is
// rewritten to 1 on the way in and back to N on the way out. A GETNEXT that
// runs off the end of one controller's objects continues with the next
// controller, so a walk of the view visits every controller in turn.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/snmp.h"
#include "win32/KavSnmpAgent/AgentState.h"
#include "win32/KavSnmpAgent/KavSnmpAgent.h"
#include "win32/KavSnmpAgent/Settings.h"

namespace {

// 1.3.6.1.4.1.47319.1: the controllers' common prefix; position 9 follows.
constexpr UINT kControllersPrefix[] = {1, 3, 6, 1, 4, 1, 47319, 1};
constexpr UINT kPrefixLength = 8;
constexpr UINT kControllerPosition = 8;  // 0-based index of position 9
// 1.3.6.1.4.1.47319.1.1: where every engine's objects start.
const std::vector<UINT> kEngineSubtree = {1, 3, 6, 1, 4, 1, 47319, 1, 1};

// Room for the answer's name; the library refuses longer ones.
constexpr int kResultRoom = kQueryMibMaxIds;
// Objects of a type the relay cannot carry that a GETNEXT passes over on one
// controller before it gives that controller up.
constexpr int kMaxPassOver = 64;

// QueryMib keeps its answer in storage that all library objects share, so two
// queries never run at once, even from a host that calls from several threads.
std::mutex g_QueryLock;

constexpr const char* kRequestTypeNames[2] = {"SNMP_PDU_GET", "SNMP_PDU_GETNEXT"};

using Oid = std::vector<UINT>;

int Compare(const Oid& a, const Oid& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StartsWith(const Oid& oid, const UINT* prefix, size_t length) {
  if (oid.size() < length) return false;
  return std::equal(prefix, prefix + length, oid.begin());
}

std::string DottedText(const Oid& oid) {
  std::string text;
  for (size_t i = 0; i < oid.size(); ++i) {
    if (i != 0) text += '.';
    text += std::to_string(oid[i]);
  }
  return text;
}

// The controller number a name addresses, or 0 when it addresses none of
// the discovered controllers.
int AddressedController(const Oid& name) {
  if (name.size() <= kControllerPosition || !StartsWith(name, kControllersPrefix, kPrefixLength)) {
    return 0;
  }
  UINT number = name[kControllerPosition];
  return number >= 1 && number <= static_cast<UINT>(g_nControllerCount) ? static_cast<int>(number)
                                                                       : 0;
}

struct Answer {
  Oid name;  // as the engine answered it (controller 1)
  uint8_t type = 0;
  int32_t number = 0;
  std::string bytes;
};

enum class Outcome { kAnswered, kFailed, kUnsupportedType };

// One QueryMib on controller `number` for `request` (position 9 already 1).
Outcome AskController(int number, const Oid& request, bool get, const char* community,
                      Answer* answer) {
  const int index = number - 1;
  g_Debug.Trace("Current Ctrl = %d\r\n", index);
  g_Debug.Trace("Call MibFunc: %s\r\n", DottedText(request).c_str());
  g_Debug.Trace("Community = [%s]\r\n", community);
  uint32_t result[kResultRoom] = {};
  int count = static_cast<int>(request.size());
  uint8_t type = 0;
  void* value = nullptr;
  int value_length = 0;
  int status;
  {
    std::lock_guard<std::mutex> hold(g_ControllerLocks[index]);
    status = g_Controllers[index].QueryMib(request.data(), &count, community, result, &type,
                                           &value, &value_length, get ? 1 : 0);
    // The value lives in storage the next QueryMib overwrites: copy it now.
    if (status == KAV_OK && (count < 1 || count > kResultRoom)) status = KAV_REPLY_TOO_LARGE;
    if (status == KAV_OK && type == ASN_INTEGER) {
      if (value == nullptr || value_length != 4) {
        status = KAV_INVALID_ARGUMENT;
      } else {
        std::memcpy(&answer->number, value, sizeof answer->number);
      }
    } else if (status == KAV_OK && type == ASN_OCTETSTRING) {
      if (value_length < 0 || (value_length > 0 && value == nullptr)) {
        status = KAV_INVALID_ARGUMENT;
      } else {
        answer->bytes.assign(static_cast<const char*>(value), static_cast<size_t>(value_length));
      }
    }
  }
  if (status != KAV_OK) {
    g_Debug.Trace("Failed to KavSnmp, state = 0x%X\r\n", static_cast<unsigned>(status));
    return Outcome::kFailed;
  }
  answer->name.assign(result, result + count);
  answer->type = type;
  if (type != ASN_INTEGER && type != ASN_OCTETSTRING) {
    // Only the type of such a value comes back, never the value itself.
    g_Debug.Trace("Invalid tag[%d].\r\n", type);
    return Outcome::kUnsupportedType;
  }
  return Outcome::kAnswered;
}

// Frees what the binding's old value owns before it is replaced.
void ReleaseValue(AsnAny* value) {
  switch (value->asnType) {
    case ASN_OCTETSTRING:
    case ASN_BITS:
    case ASN_SEQUENCE:
    case ASN_IPADDRESS:
    case ASN_OPAQUE:
      if (value->asnValue.string.dynamic) SnmpUtilMemFree(value->asnValue.string.stream);
      break;
    case ASN_OBJECTIDENTIFIER:
      SnmpUtilOidFree(&value->asnValue.object);
      break;
    default:
      break;
  }
  std::memset(value, 0, sizeof *value);
  value->asnType = ASN_NULL;
}

// Writes the answer into the binding, naming controller `number`. Returns the
// SNMP error status; -1 when the answer's name could not be built (the binding
// is then untouched).
int WriteAnswer(RFC1157VarBind* binding, const Answer& answer, int number) {
  Oid ids = answer.name;
  std::string text = ".";
  text += SnmpUtilIdsToA(ids.data(), static_cast<UINT>(ids.size()));
  g_Debug.Trace("ret_oid [%s].\r\n", text.c_str() + 1);
  g_Debug.Trace("tmpStrOid [%s].\r\n", text.c_str());
  AsnObjectIdentifier name = {0, nullptr};
  BOOL parsed = SnmpMgrStrToOid(text.data(), &name);
  g_Debug.Trace("SnmpMgrStrToOid returned [%d], src[%s].\r\n", parsed, SnmpUtilOidToA(&name));
  if (!parsed || name.idLength != ids.size() || name.idLength <= kControllerPosition) {
    SnmpUtilOidFree(&name);
    return -1;
  }
  g_Debug.Trace("tag = %d.\r\n", answer.type);
  name.ids[kControllerPosition] = static_cast<UINT>(number);
  SnmpUtilOidFree(&binding->name);
  binding->name = name;
  ReleaseValue(&binding->value);
  binding->value.asnType = answer.type;
  if (answer.type == ASN_INTEGER) {
    binding->value.asnValue.number = answer.number;
    g_Debug.Trace("var = %d.\r\n", static_cast<int>(answer.number & 0xFF));
    g_Debug.Trace("var_len = %d.\r\n", 4);
    g_Debug.Trace("MIB_get_func: %d\r\n", static_cast<int>(answer.number));
    return SNMP_ERRORSTATUS_NOERROR;
  }
  UINT length = static_cast<UINT>(answer.bytes.size());
  BYTE* bytes = length == 0 ? nullptr : static_cast<BYTE*>(SnmpUtilMemAlloc(length));
  if (length != 0 && bytes == nullptr) {
    // Answered as genErr; the binding carries an empty string, never a
    // length without bytes.
    return SNMP_ERRORSTATUS_GENERR;
  }
  if (length != 0) std::memcpy(bytes, answer.bytes.data(), length);
  binding->value.asnValue.string.stream = bytes;
  binding->value.asnValue.string.length = length;
  binding->value.asnValue.string.dynamic = bytes != nullptr ? TRUE : FALSE;
  g_Debug.Trace("MIB_get_func: %.*s, %d\r\n", static_cast<int>(length), answer.bytes.c_str(),
                static_cast<int>(length));
  return SNMP_ERRORSTATUS_NOERROR;
}

int RelayGet(RFC1157VarBind* binding, const Oid& name, const char* community) {
  int number = AddressedController(name);
  if (number == 0) {
    g_Debug.Trace("No controller for %s\r\n", DottedText(name).c_str());
    return SNMP_ERRORSTATUS_NOERROR;
  }
  if (!ControllerUsable(number - 1)) {
    g_Debug.Trace("Controller#%d not attached.\r\n", number);
    return SNMP_ERRORSTATUS_NOERROR;
  }
  Oid request = name;
  request[kControllerPosition] = 1;
  Answer answer;
  if (AskController(number, request, true, community, &answer) != Outcome::kAnswered ||
      answer.name.size() <= kControllerPosition) {
    return SNMP_ERRORSTATUS_NOERROR;
  }
  int status = WriteAnswer(binding, answer, number);
  return status < 0 ? SNMP_ERRORSTATUS_NOERROR : status;
}

int RelayGetNext(RFC1157VarBind* binding, const Oid& name, const char* community) {
  int number = AddressedController(name);
  Oid request;
  if (number != 0) {
    request = name;
    request[kControllerPosition] = 1;
  } else if (Compare(name, kEngineSubtree) < 0) {
    number = 1;
    request = kEngineSubtree;
  } else {
    g_Debug.Trace("No controller for %s\r\n", DottedText(name).c_str());
    return SNMP_ERRORSTATUS_NOERROR;
  }
  int passed_over = 0;
  while (number <= g_nControllerCount) {
    if (ControllerUsable(number - 1)) {
      Answer answer;
      Outcome outcome = AskController(number, request, false, community, &answer);
      // An answer outside the engine's objects, or not after what was asked,
      // ends this controller's part of the walk.
      bool inside = outcome != Outcome::kFailed &&
                    StartsWith(answer.name, kEngineSubtree.data(), kEngineSubtree.size()) &&
                    Compare(answer.name, request) > 0;
      if (inside && outcome == Outcome::kAnswered) {
        int status = WriteAnswer(binding, answer, number);
        return status < 0 ? SNMP_ERRORSTATUS_NOERROR : status;
      } else if (inside && ++passed_over <= kMaxPassOver) {
        request = answer.name;  // pass over a value the relay cannot carry
        continue;
      }
    } else {
      g_Debug.Trace("Controller#%d not attached.\r\n", number);
    }
    ++number;
    request = kEngineSubtree;
    passed_over = 0;
  }
  return SNMP_ERRORSTATUS_NOERROR;
}

int RelayBinding(RFC1157VarBind* binding, BYTE request_type, const char* community) {
  const AsnObjectIdentifier& name = binding->name;
  Oid ids;
  if (name.ids != nullptr) ids.assign(name.ids, name.ids + name.idLength);
  int status = request_type == SNMP_PDU_GET ? RelayGet(binding, ids, community)
                                            : RelayGetNext(binding, ids, community);
  g_Debug.Trace("ErrStat = 0x%X\r\n", static_cast<unsigned>(status));
  return status;
}

}  // namespace

BOOL SnmpExtensionQuery(BYTE request_type, RFC1157VarBindList* bindings,
                        AsnInteger32* error_status, AsnInteger32* error_index) {
  std::lock_guard<std::mutex> serialise(g_QueryLock);
  ReadSettings();
  const KavSettings settings = CurrentSettings();
  if (bindings == nullptr || (bindings->list == nullptr && bindings->len != 0)) {
    g_Debug.Trace("variableBindings missing\r\n");
    return TRUE;
  }
  g_Debug.Trace("variableBindings len = %d\r\n", static_cast<int>(bindings->len));
  for (UINT i = 0; i < bindings->len; ++i) {
    RFC1157VarBind* binding = &bindings->list[i];
    AsnObjectIdentifier shown = binding->name;
    if (shown.ids == nullptr) shown.idLength = 0;
    g_Debug.Trace("type = %s : %s\r\n", kRequestTypeNames[request_type & 1],
                  SnmpUtilOidToA(&shown));
    int status = RelayBinding(binding, request_type, settings.Community);
    if (error_status != nullptr) *error_status = status;
    if (status != SNMP_ERRORSTATUS_NOERROR) {
      if (error_index != nullptr) *error_index = static_cast<AsnInteger32>(i + 1);
      break;
    }
  }
  return TRUE;
}
