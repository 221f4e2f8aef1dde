// SNMPSequence: the BER SEQUENCE and the base of the SNMPv1 structures. A
// container owns its elements and deletes them, first to last, with itself.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "library/snmp/SNMPObject.h"

class SNMPInteger;

// How deeply containers decode inside one another. Every SNMP message the
// system exchanges nests four deep (message, PDU, binding list, binding); a
// container met deeper than this is kept with no elements, so crafted input
// cannot drive the decoder's recursion.
inline constexpr int kMaxDecodeDepth = 16;

class SNMPSequence : public SNMPObject {
 public:
  SNMPSequence();
  // depth: how many containers enclose this one in the tree being decoded.
  explicit SNMPSequence(const ByteBuffer& content, int depth = 0);
  ~SNMPSequence() override;

  // Appends element; the container owns it from now on. A null element is
  // kept in its place and encodes as nothing.
  void Add(std::unique_ptr<SNMPObject> element);
  int32_t GetCount() const { return static_cast<int32_t>(m_Elements.size()); }
  // The element at index, or null when there is none.
  const SNMPObject* At(int32_t index) const;
  // The element at index when it is an integer value (or a container), else
  // null. Callers check the shape of a decoded tree with these.
  const SNMPInteger* IntegerAt(int32_t index) const;
  const SNMPSequence* SequenceAt(int32_t index) const;
  // Number of elements at the last Encode.
  int32_t GetEncodedCount() const { return m_nEncodedCount; }

  // Decodes content element by element and appends the objects. Stops at the
  // first element that does not lie wholly inside content (keeping the ones
  // before it). depth is this container's nesting; from kMaxDecodeDepth on
  // nothing is decoded.
  void DecodeElements(const ByteBuffer& content, int depth = 0);

  // Tag, length and the elements' encodings. An element whose encoding does
  // not fit the 512-byte content is left out and the later ones are tried.
  void Encode(ByteBuffer& out) const override;

 protected:
  explicit SNMPSequence(uint8_t tag);
  SNMPSequence(uint8_t tag, const ByteBuffer& content, int depth);

 private:
  std::vector<std::unique_ptr<SNMPObject>> m_Elements;
  mutable int32_t m_nEncodedCount = 0;
};
