// Bounded queue of pending traps; see TrapQueue.h.
#include "win32/KavSnmpAgent/TrapQueue.h"

#include <utility>

TrapQueue::TrapQueue(size_t capacity) : m_nCapacity(capacity == 0 ? 1 : capacity) {}

bool TrapQueue::Push(PendingTrap trap, PendingTrap* dropped) {
  std::lock_guard<std::mutex> hold(m_Lock);
  bool full = m_Entries.size() >= m_nCapacity;
  if (full) {
    if (dropped != nullptr) *dropped = std::move(m_Entries.front());
    m_Entries.pop_front();
  }
  m_Entries.push_back(std::move(trap));
  return full;
}

bool TrapQueue::Pop(PendingTrap* out) {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Entries.empty()) return false;
  *out = std::move(m_Entries.front());
  m_Entries.pop_front();
  return true;
}

size_t TrapQueue::Size() const {
  std::lock_guard<std::mutex> hold(m_Lock);
  return m_Entries.size();
}
