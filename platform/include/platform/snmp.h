// The SNMP extension-agent types and the SNMP utility and management functions
// the system uses, with their Windows spelling.
//
// Memory handed between a host and an agent (names, octet strings, binding
// arrays) comes from SnmpUtilMemAlloc and goes back through SnmpUtilMemFree;
// both live in the one platform library that host and agent share.
#pragma once

#include "platform/win_types.h"

// ASN.1 / SNMP type codes.
#define ASN_UNIVERSAL 0x00
#define ASN_APPLICATION 0x40
#define ASN_CONSTRUCTOR 0x20
#define ASN_INTEGER 0x02
#define ASN_INTEGER32 ASN_INTEGER
#define ASN_BITS 0x03
#define ASN_OCTETSTRING 0x04
#define ASN_NULL 0x05
#define ASN_OBJECTIDENTIFIER 0x06
#define ASN_SEQUENCE 0x30
#define ASN_SEQUENCEOF ASN_SEQUENCE
#define ASN_IPADDRESS 0x40
#define ASN_COUNTER32 0x41
#define ASN_GAUGE32 0x42
#define ASN_TIMETICKS 0x43
#define ASN_OPAQUE 0x44
#define ASN_COUNTER64 0x46
#define ASN_UNSIGNED32 0x47

// PDU types.
#define SNMP_PDU_GET 0xA0
#define SNMP_PDU_GETNEXT 0xA1
#define SNMP_PDU_RESPONSE 0xA2
#define SNMP_PDU_SET 0xA3
#define SNMP_PDU_V1TRAP 0xA4
#define SNMP_PDU_GETBULK 0xA5

// Error status values.
#define SNMP_ERRORSTATUS_NOERROR 0
#define SNMP_ERRORSTATUS_TOOBIG 1
#define SNMP_ERRORSTATUS_NOSUCHNAME 2
#define SNMP_ERRORSTATUS_BADVALUE 3
#define SNMP_ERRORSTATUS_READONLY 4
#define SNMP_ERRORSTATUS_GENERR 5

// Generic trap numbers.
#define SNMP_GENERICTRAP_COLDSTART 0
#define SNMP_GENERICTRAP_WARMSTART 1
#define SNMP_GENERICTRAP_LINKDOWN 2
#define SNMP_GENERICTRAP_LINKUP 3
#define SNMP_GENERICTRAP_AUTHFAILURE 4
#define SNMP_GENERICTRAP_EGPNEIGHLOSS 5
#define SNMP_GENERICTRAP_ENTERSPECIFIC 6

#define SNMPAPI_NOERROR TRUE
#define SNMPAPI_ERROR FALSE

typedef INT SNMPAPI;
typedef LONG AsnInteger32;
typedef ULONG AsnUnsigned32;
typedef ULONG AsnCounter32;
typedef ULONG AsnGauge32;
typedef ULONG AsnTimeticks;

typedef struct {
  ULONG lowpart;
  ULONG highpart;
} AsnCounter64;

typedef struct {
  BYTE* stream;
  UINT length;
  BOOL dynamic;  // TRUE: stream came from SnmpUtilMemAlloc and is freed with the value
} AsnOctetString;

typedef struct {
  UINT idLength;
  UINT* ids;  // from SnmpUtilMemAlloc, or a constant array the owner does not free
} AsnObjectIdentifier;

typedef AsnOctetString AsnBits;
typedef AsnOctetString AsnSequence;
typedef AsnOctetString AsnIPAddress;
typedef AsnOctetString AsnNetworkAddress;
typedef AsnOctetString AsnDisplayString;
typedef AsnOctetString AsnOpaque;
typedef AsnObjectIdentifier AsnObjectName;
typedef AsnInteger32 AsnInteger;
typedef AsnCounter32 AsnCounter;
typedef AsnGauge32 AsnGauge;

typedef struct {
  BYTE asnType;
  union {
    AsnInteger32 number;
    AsnUnsigned32 unsigned32;
    AsnCounter64 counter64;
    AsnOctetString string;
    AsnBits bits;
    AsnObjectIdentifier object;
    AsnSequence sequence;
    AsnIPAddress address;
    AsnCounter32 counter;
    AsnGauge32 gauge;
    AsnTimeticks ticks;
    AsnOpaque arbitrary;
  } asnValue;
} AsnAny;

typedef AsnAny AsnObjectSyntax;

typedef struct {
  AsnObjectName name;
  AsnObjectSyntax value;
} SnmpVarBind;

typedef struct {
  SnmpVarBind* list;
  UINT len;
} SnmpVarBindList;

typedef SnmpVarBind RFC1157VarBind;
typedef SnmpVarBindList RFC1157VarBindList;

KAV_BEGIN_C

// Zero-filled memory; NULL when it cannot be had. Freeing NULL does nothing.
LPVOID SnmpUtilMemAlloc(UINT bytes);
void SnmpUtilMemFree(LPVOID memory);

// Frees the name's ids and sets the name to 0 components, no ids.
void SnmpUtilOidFree(AsnObjectIdentifier* oid);
// Deep copy into dst (whose old contents are not freed). SNMPAPI_ERROR when
// memory cannot be had.
SNMPAPI SnmpUtilOidCpy(AsnObjectIdentifier* dst, AsnObjectIdentifier* src);
// Frees the binding's name and, for octet-string-like types whose dynamic flag
// is set and for object identifiers, its value; the binding is then empty.
void SnmpUtilVarBindFree(SnmpVarBind* binding);
// Frees every binding and the list array; the list is then empty.
void SnmpUtilVarBindListFree(SnmpVarBindList* list);

// Dotted decimal text of the ids ("1.3.6.1"), or "<null oid>" for none. The text
// belongs to the platform and stays valid until the next call of either
// function on the same thread.
LPSTR SnmpUtilIdsToA(UINT* ids, UINT length);
LPSTR SnmpUtilOidToA(AsnObjectIdentifier* oid);

// Parses dotted decimal text into a new name (ids from SnmpUtilMemAlloc). A
// leading "." makes the text a complete OID; without it the text is relative to
// the MIB-2 prefix 1.3.6.1.2.1, as on Windows ("1.1.0" is 1.3.6.1.2.1.1.1.0).
// FALSE, leaving the name with 0 components, for text that is empty or holds
// anything but digits and single dots, or a component above 2^32 - 1.
BOOL SnmpMgrStrToOid(LPSTR text, AsnObjectIdentifier* oid);

KAV_END_C
