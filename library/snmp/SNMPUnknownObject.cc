// Values of unmodelled types: construction and encoding.
#include "library/snmp/SNMPUnknownObject.h"

#include "library/snmp/BerEncoding.h"

SNMPUnknownObject::SNMPUnknownObject(const ByteBuffer& content) : SNMPObject(kSnmpTagUnknown) {
  m_Content.AppendBytes(content.GetData(), 0, content.GetLength());
}

void SNMPUnknownObject::GetContent(ByteBuffer& out) const { out.Assign(m_Content); }

void SNMPUnknownObject::Encode(ByteBuffer& out) const {
  AppendElement(kSnmpTagUnknown, m_Content, out);
}
