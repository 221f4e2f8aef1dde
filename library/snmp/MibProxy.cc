// The firmware MIB proxy, slots 19 and 20 of CKavlib: SNMP messages carried
// to the controller's own SNMP engine as the payload of command 30.
#include <cstring>

#include "library/commands/CKavlib.h"
#include "library/snmp/BerElement.h"
#include "library/snmp/IntegerList.h"
#include "library/snmp/MibRequest.h"
#include "library/snmp/MibResults.h"
#include "library/snmp/SNMPInteger.h"
#include "library/snmp/SNMPOctetString.h"

namespace {

constexpr uint8_t kCommandSnmp = 30;
// SnmpPassThrough receives at most this much; its caller's area must hold it.
constexpr int kPassThroughReplySize = 2048;
// The most of a reply QueryMib decodes; a longer reply is refused.
constexpr int kQueryMibReplyLimit = 1024;
// The longest community QueryMib sends. With the longest OID text (63
// characters) a request with it still fits the 512-byte request buffer whole;
// the settings file holds at most 127 characters.
constexpr size_t kQueryMibMaxCommunity = 255;
// The status of an answer that is not the answer to the request sent.
constexpr int kAnswerRefused = KAV_BAD_FRAME;

// Length of the value text handed out for an octet string: up to the first
// zero byte for text, all four bytes for an IpAddress, at most what the value
// text area holds besides its terminator.
int32_t ValueTextLength(const SNMPOctetString& value, const ByteBuffer& content) {
  int32_t length = content.GetLength();
  if (dynamic_cast<const SNMPIPAddress*>(&value) == nullptr) {
    const void* zero = std::memchr(content.GetData(), 0, static_cast<size_t>(length));
    if (zero != nullptr) length = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - content.GetData());
  }
  return length < kValueTextSize - 1 ? length : kValueTextSize - 1;
}

}  // namespace

int CKavlib::SnmpPassThrough(const uint8_t* request, int length, uint8_t* reply,
                             int* reply_length) {
  if (request == nullptr || length <= 0 || reply == nullptr || reply_length == nullptr) {
    return KAV_INVALID_ARGUMENT;
  }
  uint8_t area[kPassThroughReplySize] = {};
  int received = 0;
  const int status = SendCommand(kCommandSnmp, request, length, area, kPassThroughReplySize,
                                 &received);
  if (status != KAV_OK) return status;
  if (received < 0 || received > kPassThroughReplySize) return KAV_REPLY_TOO_LARGE;
  *reply_length = received;
  std::memcpy(reply, area, static_cast<size_t>(received));
  return KAV_OK;
}

int CKavlib::QueryMib(const uint32_t* ids, int* count, const char* community, uint32_t* result,
                      uint8_t* type, void** value, int* value_length, uint8_t get_flag) {
  if (ids == nullptr || count == nullptr || result == nullptr || type == nullptr ||
      value == nullptr || value_length == nullptr) {
    return KAV_INVALID_ARGUMENT;
  }
  const char* community_text = community != nullptr ? community : "public";
  if (strnlen(community_text, kQueryMibMaxCommunity + 1) > kQueryMibMaxCommunity) {
    return KAV_INVALID_ARGUMENT;
  }
  const char* oid_text = OidToText(ids, count);
  if (oid_text == nullptr) return KAV_INVALID_ARGUMENT;

  ByteBuffer request(kDefaultBufferCapacity);
  EncodeMibRequest(oid_text, community_text, get_flag != 0, request);

  // Room for all that SnmpPassThrough may copy, although only the first
  // kQueryMibReplyLimit bytes are ever decoded.
  uint8_t reply[kPassThroughReplySize] = {};
  int received = 0;
  const int status = SnmpPassThrough(request.GetData(), request.GetLength(), reply, &received);
  if (status != KAV_OK) return status;
  if (received > kQueryMibReplyLimit) return KAV_REPLY_TOO_LARGE;

  ByteBuffer bytes(kQueryMibReplyLimit);
  bytes.AppendBytes(reply, 0, received);
  BerElement outer;
  ReadElement(bytes, 0, outer);
  const SNMPMessage answer(outer.content);
  MibAnswer parts;
  if (!ReadMibAnswer(answer, &parts)) return kAnswerRefused;

  IntegerList components(kDefaultListCapacity);
  parts.name->GetComponents(components);
  if (components.GetCount() > kQueryMibMaxIds) return KAV_REPLY_TOO_LARGE;

  const uint8_t tag = parts.value->GetTag();
  const auto* integer = tag == kSnmpTagInteger ? dynamic_cast<const SNMPInteger*>(parts.value)
                                               : nullptr;
  const auto* octets = tag == kSnmpTagOctetString
                           ? dynamic_cast<const SNMPOctetString*>(parts.value)
                           : nullptr;

  *count = components.GetCount();
  for (int32_t i = 0; i < components.GetCount(); ++i) {
    result[i] = static_cast<uint32_t>(components.Get(i));
  }
  *type = tag;

  MibResultStorage& storage = SharedMibResults();
  if (integer != nullptr) {
    storage.value_integer = integer->GetValue();
    *value = &storage.value_integer;
    *value_length = 4;
  } else if (octets != nullptr) {
    ByteBuffer content(kDefaultBufferCapacity);
    octets->GetContent(content);
    const int32_t length = ValueTextLength(*octets, content);
    std::memcpy(storage.value_text, content.GetData(), static_cast<size_t>(length));
    storage.value_text[length] = '\0';
    *value = storage.value_text;
    *value_length = length;
  }
  return KAV_OK;
}
