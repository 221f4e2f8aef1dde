// OCTET STRING and IpAddress: construction and encoding.
#include "library/snmp/SNMPOctetString.h"

#include <cstring>

#include "library/snmp/BerEncoding.h"

SNMPOctetString::SNMPOctetString() : SNMPObject(kSnmpTagOctetString) {}

SNMPOctetString::SNMPOctetString(const char* text) : SNMPOctetString() {
  if (text == nullptr) return;
  const size_t characters = std::strlen(text);
  if (characters > static_cast<size_t>(m_Content.GetCapacity())) return;
  m_Content.AppendBytes(reinterpret_cast<const uint8_t*>(text), 0,
                        static_cast<int32_t>(characters));
}

SNMPOctetString::SNMPOctetString(const ByteBuffer& content) : SNMPOctetString() {
  m_Content.AppendBytes(content.GetData(), 0, content.GetLength());
}

void SNMPOctetString::GetContent(ByteBuffer& out) const { out.Assign(m_Content); }

void SNMPOctetString::Encode(ByteBuffer& out) const {
  AppendElement(GetTag(), m_Content, out);
}

SNMPIPAddress::SNMPIPAddress(const ByteBuffer& content) {
  if (content.GetLength() == 4) m_Content.AppendBytes(content.GetData(), 0, 4);
}
