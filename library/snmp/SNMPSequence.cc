// SNMPSequence: element ownership, encoding and element-by-element decoding.
#include "library/snmp/SNMPSequence.h"

#include "library/snmp/BerElement.h"
#include "library/snmp/BerEncoding.h"
#include "library/snmp/CreateObject.h"
#include "library/snmp/SNMPInteger.h"

SNMPSequence::SNMPSequence() : SNMPSequence(kSnmpTagSequence) {}
SNMPSequence::SNMPSequence(const ByteBuffer& content, int depth)
    : SNMPSequence(kSnmpTagSequence, content, depth) {}
SNMPSequence::SNMPSequence(uint8_t tag) : SNMPObject(tag) {}
SNMPSequence::SNMPSequence(uint8_t tag, const ByteBuffer& content, int depth) : SNMPObject(tag) {
  DecodeElements(content, depth);
}

SNMPSequence::~SNMPSequence() {
  for (auto& element : m_Elements) element.reset();
}

void SNMPSequence::Add(std::unique_ptr<SNMPObject> element) {
  m_Elements.push_back(std::move(element));
}

const SNMPObject* SNMPSequence::At(int32_t index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return m_Elements[static_cast<size_t>(index)].get();
}

const SNMPInteger* SNMPSequence::IntegerAt(int32_t index) const {
  return dynamic_cast<const SNMPInteger*>(At(index));
}

const SNMPSequence* SNMPSequence::SequenceAt(int32_t index) const {
  return dynamic_cast<const SNMPSequence*>(At(index));
}

void SNMPSequence::DecodeElements(const ByteBuffer& content, int depth) {
  // The depth travels down as an argument (not as thread state) so that the
  // decoder keeps no per-thread storage in a library that hosts unload.
  if (depth >= kMaxDecodeDepth) return;
  const int32_t total = content.GetLength();
  BerElement element;
  for (int32_t offset = 0; offset < total; offset += element.size) {
    if (!ReadElement(content, offset, element)) break;
    Add(CreateObject(element, depth + 1));
  }
}

void SNMPSequence::Encode(ByteBuffer& out) const {
  m_nEncodedCount = GetCount();
  ByteBuffer content(kDefaultBufferCapacity);
  ByteBuffer piece(kDefaultBufferCapacity);
  for (const auto& element : m_Elements) {
    if (!element) continue;
    piece.Clear();
    element->Encode(piece);
    content.AppendBytes(piece.GetData(), 0, piece.GetLength());
  }
  AppendElement(GetTag(), content, out);
}
