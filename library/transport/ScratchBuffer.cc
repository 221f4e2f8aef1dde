// The small process-wide store of scratch areas behind ScratchBuffer. Threads
// take and return areas with atomic exchanges; no lock is held.
#include "library/transport/ScratchBuffer.h"

#include <atomic>
#include <cstdlib>

namespace {

// Enough for the agent's two threads with the two areas each of a command.
constexpr int kKeptAreas = 4;

struct KeptAreas {
  std::atomic<uint8_t*> slots[kKeptAreas] = {};
  ~KeptAreas() {
    for (auto& slot : slots) std::free(slot.exchange(nullptr));
  }
};

KeptAreas g_kept;

}  // namespace

ScratchBuffer::ScratchBuffer() : m_pData(nullptr) {
  for (auto& slot : g_kept.slots) {
    m_pData = slot.exchange(nullptr, std::memory_order_acquire);
    if (m_pData != nullptr) return;
  }
  m_pData = static_cast<uint8_t*>(std::malloc(kSize));
}

ScratchBuffer::~ScratchBuffer() {
  if (m_pData == nullptr) return;
  for (auto& slot : g_kept.slots) {
    uint8_t* expected = nullptr;
    if (slot.compare_exchange_strong(expected, m_pData, std::memory_order_release,
                                     std::memory_order_relaxed)) {
      return;
    }
  }
  std::free(m_pData);
}
