// The small process-wide store of scratch areas behind ScratchBuffer. Threads
// take and return areas with atomic exchanges; no lock is held.
#include "library/transport/ScratchBuffer.h"

#include <atomic>
#include <cstdlib>

namespace {

// Enough for the agent's two threads with the two areas each of a command.
constexpr int kKeptAreas = 4;

// Plain atomics with trivial destructors: they stay usable by an exchange that
// is still finishing while the library is being unloaded.
std::atomic<uint8_t*> g_kept[kKeptAreas] = {};
std::atomic<bool> g_closed{false};

// When the library is unloaded (or the process ends) the kept areas are freed,
// and areas given back after that are freed at once instead of kept.
struct ReleaseKeptAreas {
  ~ReleaseKeptAreas() {
    g_closed.store(true);
    for (auto& slot : g_kept) std::free(slot.exchange(nullptr));
  }
} g_release_at_unload;

}  // namespace

ScratchBuffer::ScratchBuffer() : m_pData(nullptr) {
  for (auto& slot : g_kept) {
    m_pData = slot.exchange(nullptr, std::memory_order_acquire);
    if (m_pData != nullptr) return;
  }
  m_pData = static_cast<uint8_t*>(std::malloc(kSize));
}

ScratchBuffer::~ScratchBuffer() {
  if (m_pData == nullptr) return;
  if (!g_closed.load()) {
    for (auto& slot : g_kept) {
      uint8_t* expected = nullptr;
      if (slot.compare_exchange_strong(expected, m_pData, std::memory_order_release,
                                       std::memory_order_relaxed)) {
        // Closing may have begun meanwhile; take the area back if so.
        if (g_closed.load()) std::free(slot.exchange(nullptr));
        return;
      }
    }
  }
  std::free(m_pData);
}
