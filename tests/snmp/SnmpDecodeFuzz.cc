// Fuzz target for the SNMP decoder: ReadElement at every offset, decoding as
// a message and as bare content (DecodeElements and CreateObject underneath),
// the MIB proxy's answer check, and re-encoding of what was decoded. Under
// AddressSanitizer the input sits in an exactly-sized heap buffer, so any
// read past it is reported.
#include <cstdint>
#include <cstdlib>

#include "library/snmp/BerElement.h"
#include "library/snmp/CreateObject.h"
#include "library/snmp/MibRequest.h"
#include "library/snmp/SNMPPDU.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Whatever the codec encodes is one whole element.
void CheckWellFormed(const SNMPObject& object) {
  ByteBuffer out(1024);
  object.Encode(out);
  BerElement element;
  Check(out.GetLength() <= 516);
  if (out.GetLength() == 0) return;
  Check(ReadElement(out, 0, element));
  Check(element.size == out.GetLength());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  ByteBuffer source(static_cast<int32_t>(size));
  source.AppendBytes(data, 0, static_cast<int32_t>(size));

  BerElement element;
  for (int32_t offset = 0; offset < source.GetLength(); ++offset) {
    const bool whole = ReadElement(source, offset, element);
    Check(element.size >= 0 && element.size <= source.GetLength() - offset);
    Check(!whole || element.size >= 2);
    Check(element.content.GetLength() <= element.size);
    if (offset == 0 && whole) CheckWellFormed(*CreateObject(element));
  }

  ReadElement(source, 0, element);
  const SNMPMessage message(element.content);
  MibAnswer answer;
  if (ReadMibAnswer(message, &answer)) Check(answer.name != nullptr && answer.value != nullptr);
  CheckWellFormed(message);

  const SNMPSequence content(source);
  CheckWellFormed(content);
  return 0;
}
