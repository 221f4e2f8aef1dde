// OBJECT IDENTIFIER: text and content parsing, encoding.
#include "library/snmp/SNMPObjectIdentifier.h"

#include "library/snmp/BerEncoding.h"

namespace {

bool IsSeparator(char c) { return c == '.' || c == ' '; }

// One token: an optional sign, then decimal digits up to the first other
// character; no digits gives 0.
int32_t ParseToken(const char* begin, const char* end) {
  const char* p = begin;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
  uint32_t value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

// Counts sub-identifiers: every byte with its high bit clear ends one.
int32_t CountSubIdentifiers(const ByteBuffer& content) {
  int32_t count = 0;
  for (int32_t i = 0; i < content.GetLength(); ++i) {
    if ((content.GetData()[i] & 0x80) == 0) ++count;
  }
  return count;
}

// The first sub-identifier gives two components, every other one component.
int32_t ComponentCapacity(const ByteBuffer& content) {
  const int32_t sub_identifiers = CountSubIdentifiers(content);
  return sub_identifiers == 0 ? 0 : sub_identifiers + 1;
}

// Reads one base-128 sub-identifier from position *at, in 32-bit arithmetic.
uint32_t ReadSubIdentifier(const ByteBuffer& content, int32_t* at) {
  uint32_t value = 0;
  while (*at < content.GetLength()) {
    const uint8_t b = content.GetData()[(*at)++];
    value = (value << 7) | (b & 0x7Fu);
    if ((b & 0x80) == 0) break;
  }
  return value;
}

void AppendSubIdentifier(uint32_t value, ByteBuffer& out) {
  uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  ByteBuffer piece(kDefaultBufferCapacity);
  for (int i = count - 1; i >= 0; --i) piece.AppendByte(i > 0 ? (groups[i] | 0x80) : groups[i]);
  out.AppendBytes(piece.GetData(), 0, piece.GetLength());
}

}  // namespace

SNMPObjectIdentifier::SNMPObjectIdentifier(const char* text)
    : SNMPObject(kSnmpTagObjectIdentifier), m_Components(kDefaultListCapacity) {
  if (text == nullptr) return;
  IntegerList parsed(kDefaultListCapacity);
  const char* p = text;
  while (*p != '\0') {
    while (*p != '\0' && IsSeparator(*p)) ++p;
    const char* begin = p;
    while (*p != '\0' && !IsSeparator(*p)) ++p;
    if (p > begin) parsed.Append(ParseToken(begin, p));
  }
  m_Components.Assign(parsed);
}

SNMPObjectIdentifier::SNMPObjectIdentifier(const ByteBuffer& content)
    : SNMPObject(kSnmpTagObjectIdentifier), m_Components(ComponentCapacity(content)) {
  const int32_t sub_identifiers = CountSubIdentifiers(content);
  if (sub_identifiers == 0) return;
  int32_t at = 0;
  const uint32_t first = ReadSubIdentifier(content, &at);
  m_Components.Append(static_cast<int32_t>(first / 40));
  m_Components.Append(static_cast<int32_t>(first % 40));
  for (int32_t i = 1; i < sub_identifiers; ++i) {
    m_Components.Append(static_cast<int32_t>(ReadSubIdentifier(content, &at)));
  }
}

void SNMPObjectIdentifier::GetComponents(IntegerList& out) const { out.Assign(m_Components); }

void SNMPObjectIdentifier::Encode(ByteBuffer& out) const {
  ByteBuffer content(kDefaultBufferCapacity);
  const int32_t m = m_Components.GetCount();
  const uint32_t x0 = static_cast<uint32_t>(m_Components.Get(0));
  const uint32_t x1 = static_cast<uint32_t>(m_Components.Get(1));
  if (m >= 2) {
    content.AppendByte(static_cast<uint8_t>(40u * x0 + x1));
  } else if (m == 1) {
    content.AppendByte(static_cast<uint8_t>(40u * x0));
  }
  for (int32_t i = 2; i < m; ++i) {
    AppendSubIdentifier(static_cast<uint32_t>(m_Components.Get(i)), content);
  }
  AppendElement(GetTag(), content, out);
}
