// Simple control commands: a checked argument or two, a short payload, a status.
#include <arpa/inet.h>

#include <cstring>

#include "library/commands/CKavlib.h"
#include "library/commands/CommandCodes.h"

using namespace kavcmd;

namespace {

constexpr int kTextPayloadSize = 16;
constexpr size_t kMaxText = 15;

int SendAndIgnoreReply(CKavlib& library, uint8_t code, const uint8_t* payload, int length) {
  uint8_t reply[kCommandReplyArea] = {};
  int reply_length = 0;
  return library.SendCommand(code, payload, length, reply, sizeof(reply), &reply_length);
}

int SendByte(CKavlib& library, uint8_t code, uint8_t value) {
  const uint8_t payload[1] = {value};
  return SendAndIgnoreReply(library, code, payload, 1);
}

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Length byte, then the characters and zero bytes.
int SendText(CKavlib& library, uint8_t code, const char* text, bool name_only) {
  if (text == nullptr) return KAV_INVALID_ARGUMENT;
  const size_t length = strnlen(text, kMaxText + 1);
  if (length > kMaxText) return KAV_INVALID_ARGUMENT;
  if (name_only) {
    for (size_t i = 0; i < length; ++i) {
      if (!IsNameCharacter(text[i])) return KAV_INVALID_ARGUMENT;
    }
  }
  uint8_t payload[kTextPayloadSize] = {};
  payload[0] = static_cast<uint8_t>(length);
  std::memcpy(payload + 1, text, length);
  return SendAndIgnoreReply(library, code, payload, kTextPayloadSize);
}

}  // namespace

int CKavlib::RunCommand48() { return SendAndIgnoreReply(*this, kCmd48, nullptr, 0); }

int CKavlib::SetOption49(int value) {
  const uint8_t v = static_cast<uint8_t>(value);
  if (v > 1) return KAV_INVALID_ARGUMENT;
  return SendByte(*this, kCmdOption49, v);
}

int CKavlib::SetName50(const char* text) { return SendText(*this, kCmdName50, text, true); }

int CKavlib::SetOption51(int value) {
  const uint8_t v = static_cast<uint8_t>(value);
  if (v > 1) return KAV_INVALID_ARGUMENT;
  return SendByte(*this, kCmdOption51, v);
}

int CKavlib::SetOption52(int value) {
  const uint8_t v = static_cast<uint8_t>(value);
  if (v > 3) return KAV_INVALID_ARGUMENT;
  return SendByte(*this, kCmdOption52, v);
}

int CKavlib::SetOption53(int value) {
  uint8_t v = static_cast<uint8_t>(value);
  if (ControllerKind() == 1) {
    // Kind-1 firmware counts this option the other way round.
    if (v > 3) return KAV_INVALID_ARGUMENT;
    v = static_cast<uint8_t>(3 - v);
  }
  return SendByte(*this, kCmdOption53, v);
}

int CKavlib::SetIpAddress(int selector, const char* address) {
  if (address == nullptr) return KAV_INVALID_ARGUMENT;
  const in_addr_t converted = inet_addr(address);
  if (converted == INADDR_NONE) return KAV_INVALID_ARGUMENT;
  const uint32_t host = ntohl(converted);
  const uint8_t payload[5] = {static_cast<uint8_t>(selector), static_cast<uint8_t>(host >> 24),
                              static_cast<uint8_t>(host >> 16), static_cast<uint8_t>(host >> 8),
                              static_cast<uint8_t>(host)};
  return SendAndIgnoreReply(*this, kCmdIpAddress, payload, sizeof(payload));
}

int CKavlib::SetOptions55(int a, int b, int c) {
  const uint8_t va = static_cast<uint8_t>(a);
  const uint8_t vb = static_cast<uint8_t>(b);
  const uint8_t vc = static_cast<uint8_t>(c);
  if (va > 1 || vb > 7 || vc > 1) return KAV_INVALID_ARGUMENT;
  const uint8_t payload[6] = {va, vb, 1, vc, 0, 0};
  return SendAndIgnoreReply(*this, kCmdOptions55, payload, sizeof(payload));
}

int CKavlib::SetText20(const char* text) { return SendText(*this, kCmdText20, text, false); }

int CKavlib::RunCommand21() { return SendAndIgnoreReply(*this, kCmd21, nullptr, 0); }
