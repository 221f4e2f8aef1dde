// IntegerList: fixed-capacity list of 32-bit integers.
#include "library/snmp/IntegerList.h"

IntegerList::IntegerList(int32_t capacity) : m_nCapacity(capacity > 0 ? capacity : 0) {
  if (m_nCapacity > 0) m_pItems.reset(new int32_t[m_nCapacity]);
}

IntegerList::~IntegerList() { Release(); }

void IntegerList::Append(int32_t v) {
  if (m_nCount < m_nCapacity) m_pItems[m_nCount++] = v;
}

int32_t IntegerList::Get(int32_t i) const {
  if (i < 0 || i >= m_nCount) return 0;
  return m_pItems[i];
}

void IntegerList::Assign(const IntegerList& other) {
  if (&other == this) return;
  m_nCount = 0;
  for (int32_t i = 0; i < other.m_nCount && m_nCount < m_nCapacity; ++i) Append(other.m_pItems[i]);
}

void IntegerList::Release() {
  m_pItems.reset();
  m_nCapacity = 0;
  m_nCount = 0;
}
