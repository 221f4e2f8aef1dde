// The SNMPv1 request the MIB proxy sends to the firmware's engine, and the
// test an answer must pass before QueryMib takes anything from it.
#pragma once

#include <cstdint>

#include "library/snmp/ByteBuffer.h"
#include "library/snmp/SNMPObjectIdentifier.h"
#include "library/snmp/SNMPPDU.h"

// Every request carries this id; an answer with another one is refused.
inline constexpr int32_t kMibRequestId = 1;

// Appends the encoding of: message (version 0, community) holding a
// GetRequest (get) or GetNextRequest PDU with request id 1, error status and
// index 0, and one binding of the OID of oid_text to INTEGER 0.
void EncodeMibRequest(const char* oid_text, const char* community, bool get, ByteBuffer& out);

// The parts of an accepted answer; they point into the decoded message.
struct MibAnswer {
  const SNMPObjectIdentifier* name = nullptr;
  const SNMPObject* value = nullptr;
};

// Accepts a decoded answer when it has at least three elements, its third is
// a container of at least four, whose first is INTEGER 1 (the request id), the
// second INTEGER 0 (the error status), the fourth a container whose first
// binding is a container of at least two elements, the first an identifier.
// The PDU's own tag and its error index are not examined.
bool ReadMibAnswer(const SNMPMessage& message, MibAnswer* answer);
