// The SNMP utility and management functions over the platform allocator.
#include "platform/snmp.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsOctetLike(BYTE type) {
  switch (type) {
    case ASN_OCTETSTRING:
    case ASN_BITS:
    case ASN_SEQUENCE:
    case ASN_IPADDRESS:
    case ASN_OPAQUE:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" LPVOID SnmpUtilMemAlloc(UINT bytes) { return calloc(1, bytes ? bytes : 1); }

extern "C" void SnmpUtilMemFree(LPVOID memory) { free(memory); }

extern "C" void SnmpUtilOidFree(AsnObjectIdentifier* oid) {
  if (oid == nullptr) return;
  SnmpUtilMemFree(oid->ids);
  oid->ids = nullptr;
  oid->idLength = 0;
}

extern "C" SNMPAPI SnmpUtilOidCpy(AsnObjectIdentifier* dst, AsnObjectIdentifier* src) {
  if (dst == nullptr || src == nullptr) return SNMPAPI_ERROR;
  dst->idLength = 0;
  dst->ids = nullptr;
  if (src->idLength == 0 || src->ids == nullptr) return SNMPAPI_NOERROR;
  auto* ids = static_cast<UINT*>(SnmpUtilMemAlloc(src->idLength * static_cast<UINT>(sizeof(UINT))));
  if (ids == nullptr) return SNMPAPI_ERROR;
  memcpy(ids, src->ids, src->idLength * sizeof(UINT));
  dst->ids = ids;
  dst->idLength = src->idLength;
  return SNMPAPI_NOERROR;
}

extern "C" void SnmpUtilVarBindFree(SnmpVarBind* binding) {
  if (binding == nullptr) return;
  SnmpUtilOidFree(&binding->name);
  if (IsOctetLike(binding->value.asnType)) {
    if (binding->value.asnValue.string.dynamic) SnmpUtilMemFree(binding->value.asnValue.string.stream);
  } else if (binding->value.asnType == ASN_OBJECTIDENTIFIER) {
    SnmpUtilOidFree(&binding->value.asnValue.object);
  }
  memset(&binding->value, 0, sizeof binding->value);
  binding->value.asnType = ASN_NULL;
}

extern "C" void SnmpUtilVarBindListFree(SnmpVarBindList* list) {
  if (list == nullptr) return;
  for (UINT i = 0; list->list != nullptr && i < list->len; ++i) SnmpUtilVarBindFree(&list->list[i]);
  SnmpUtilMemFree(list->list);
  list->list = nullptr;
  list->len = 0;
}

extern "C" LPSTR SnmpUtilIdsToA(UINT* ids, UINT length) {
  thread_local std::string text;
  if (ids == nullptr || length == 0) {
    text = "<null oid>";
  } else {
    text.clear();
    for (UINT i = 0; i < length; ++i) {
      if (i != 0) text += '.';
      text += std::to_string(ids[i]);
    }
  }
  return text.data();
}

extern "C" LPSTR SnmpUtilOidToA(AsnObjectIdentifier* oid) {
  return oid == nullptr ? SnmpUtilIdsToA(nullptr, 0) : SnmpUtilIdsToA(oid->ids, oid->idLength);
}

extern "C" BOOL SnmpMgrStrToOid(LPSTR text, AsnObjectIdentifier* oid) {
  if (oid == nullptr) return FALSE;
  oid->idLength = 0;
  oid->ids = nullptr;
  if (text == nullptr) return FALSE;
  std::vector<UINT> ids;
  const char* p = text;
  if (*p == '.') {
    ++p;
  } else {
    ids = {1, 3, 6, 1, 2, 1};  // relative to MIB-2
  }
  if (*p == '\0') return FALSE;
  for (;;) {
    if (*p < '0' || *p > '9') return FALSE;
    uint64_t value = 0;
    while (*p >= '0' && *p <= '9') {
      value = value * 10 + static_cast<uint64_t>(*p++ - '0');
      if (value > 0xFFFFFFFFull) return FALSE;
    }
    ids.push_back(static_cast<UINT>(value));
    if (*p == '\0') break;
    if (*p != '.') return FALSE;
    ++p;
  }
  auto* copy = static_cast<UINT*>(SnmpUtilMemAlloc(static_cast<UINT>(ids.size() * sizeof(UINT))));
  if (copy == nullptr) return FALSE;
  memcpy(copy, ids.data(), ids.size() * sizeof(UINT));
  oid->ids = copy;
  oid->idLength = static_cast<UINT>(ids.size());
  return TRUE;
}
