// Prefixed and keyed setting commands (16, 17, 18, 23) and the controller
// clock (29).
#include <cstring>

#include "library/commands/CKavlib.h"
#include "library/commands/CommandCodes.h"
#include "platform/clock.h"

using namespace kavcmd;

namespace {

constexpr uint8_t kPrefixLead = 15;
constexpr char kFixedPrefix[] = "GrOvEmIlLsPaTcH ";  // 16 characters, the last a blank
constexpr uint8_t kUtcMarker[2] = {0x55, 0xAA};

// 1 to `limit` characters; the terminator is looked for no further than needed.
bool TextFits(const char* text, size_t limit) {
  if (text == nullptr) return false;
  const size_t length = strnlen(text, limit + 1);
  return length >= 1 && length <= limit;
}

// The characters from the field's start, the rest of the field blanks.
void PutBlankPadded(uint8_t* field, size_t width, const char* text) {
  std::memset(field, ' ', width);
  std::memcpy(field, text, strnlen(text, width));
}

int SendAndIgnoreReply(CKavlib& library, uint8_t code, const uint8_t* payload, int length) {
  uint8_t reply[kCommandReplyArea] = {};
  int reply_length = 0;
  return library.SendCommand(code, payload, length, reply, sizeof(reply), &reply_length);
}

// The keyed header followed by a blank-padded text field.
int SendKeyedText(CKavlib& library, uint8_t code, const char* text, size_t limit, size_t width) {
  if (!TextFits(text, limit)) return KAV_INVALID_ARGUMENT;
  uint8_t payload[kKeyedHeaderSize + 48];
  std::memcpy(payload, kKeyedHeader, kKeyedHeaderSize);
  PutBlankPadded(payload + kKeyedHeaderSize, width, text);
  return SendAndIgnoreReply(library, code, payload, static_cast<int>(kKeyedHeaderSize + width));
}

}  // namespace

int CKavlib::SendPrefixedText16(const char* text) {
  if (!TextFits(text, 16)) return KAV_INVALID_ARGUMENT;
  uint8_t payload[33];
  payload[0] = kPrefixLead;
  std::memcpy(payload + 1, kFixedPrefix, 16);
  PutBlankPadded(payload + 17, 16, text);
  return SendAndIgnoreReply(*this, kCmdPrefixedText16, payload, sizeof(payload));
}

int CKavlib::SetKeyedText17(const char* text) {
  return SendKeyedText(*this, kCmdKeyedText17, text, 40, 48);
}

int CKavlib::SetKeyedText18(const char* text) {
  return SendKeyedText(*this, kCmdKeyedText18, text, 8, 16);
}

int CKavlib::SetKeyedValue23(const uint8_t* record) {
  if (record == nullptr) return KAV_INVALID_ARGUMENT;
  uint8_t payload[23] = {};
  std::memcpy(payload, kKeyedHeader, kKeyedHeaderSize);
  // The record's 32-bit and 16-bit values, byte for byte as stored.
  std::memcpy(payload + 17, record, 6);
  return SendAndIgnoreReply(*this, kCmdKeyedValue23, payload, sizeof(payload));
}

int CKavlib::SetControllerTime(int utc) {
  const bool in_utc = static_cast<uint8_t>(utc) != 0;
  if (in_utc && m_SystemInfo[kSysInfoAcceptsUtc] == 0) return KAV_INVALID_ARGUMENT;
  SYSTEMTIME now = {};
  if (in_utc) {
    GetSystemTime(&now);
  } else {
    GetLocalTime(&now);
  }
  uint8_t payload[17];
  std::memcpy(payload, kKeyedHeader, kKeyedHeaderSize);
  payload[9] = static_cast<uint8_t>(now.wYear - 2000);
  payload[10] = static_cast<uint8_t>(now.wMonth);
  payload[11] = static_cast<uint8_t>(now.wDay);
  payload[12] = static_cast<uint8_t>(now.wHour);
  payload[13] = static_cast<uint8_t>(now.wMinute);
  payload[14] = static_cast<uint8_t>(now.wSecond);
  payload[15] = kUtcMarker[0];
  payload[16] = kUtcMarker[1];
  return SendAndIgnoreReply(*this, kCmdControllerTime, payload, in_utc ? 17 : 15);
}
