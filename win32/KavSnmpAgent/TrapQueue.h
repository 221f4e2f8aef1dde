// The hand-over of traps from the event thread to SnmpExtensionTrap: a bounded
// queue of pending traps, one entry per event that passed the level. A full
// queue makes room by dropping its oldest entry.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

struct PendingTrap {
  int specific = 0;     // event type * 128 + event code
  std::string message;  // the binding's text, without terminator
};

class TrapQueue {
 public:
  static constexpr size_t kDefaultCapacity = 64;
  explicit TrapQueue(size_t capacity = kDefaultCapacity);

  // Appends the trap. When the queue was full, its oldest entry is removed and
  // written to *dropped (if given) and the result is true.
  bool Push(PendingTrap trap, PendingTrap* dropped);
  // Takes the oldest entry out; false when the queue is empty.
  bool Pop(PendingTrap* out);
  size_t Size() const;

 private:
  mutable std::mutex m_Lock;
  std::deque<PendingTrap> m_Entries;
  size_t m_nCapacity;
};
