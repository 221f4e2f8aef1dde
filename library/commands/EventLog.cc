// Event log retrieval: the controller's event pointer, the pages that are new
// since the last read, single records from the library's copy of the ring.
#include <cstring>

#include "library/commands/CKavlib.h"
#include "library/commands/CommandCodes.h"
#include "platform/threads.h"

using namespace kavcmd;

namespace {

constexpr int kRecordsPerPage = kEventPageSize / kEventRecordSize;  // 16
constexpr int kReadAttempts = 30;

}  // namespace

int CKavlib::GetEventPointer(int* pointer) {
  if (pointer == nullptr) return KAV_INVALID_ARGUMENT;
  uint8_t reply[kCommandReplyArea] = {};
  int length = 0;
  const int status = SendCommand(kCmdEventPointer, nullptr, 0, reply, sizeof(reply), &length);
  if (status != KAV_OK) return status;
  m_nCurEventPointer = reply[0];
  *pointer = m_nCurEventPointer;
  return KAV_OK;
}

int CKavlib::ReadEventPage(uint8_t page) {
  if (m_pEventPage == nullptr) return KAV_NOT_AVAILABLE;
  std::memset(m_pEventPage, 0, kEventPageSize);
  uint8_t reply[kCommandReplyArea] = {};
  const uint8_t payload[1] = {page};
  int length = 0;
  const int status = SendCommand(kCmdEventPage, payload, 1, reply, sizeof(reply), &length);
  if (status == KAV_OK) std::memcpy(m_pEventPage, reply, kEventPageSize);
  return status;
}

int CKavlib::ReadEvents(uint8_t mode, int* count) {
  if (count == nullptr) return KAV_INVALID_ARGUMENT;
  *count = 0;
  if (m_pTransport == nullptr) return KAV_NO_TRANSPORT;
  // Without the buffers (JBOD, or an Attach that could not read the system
  // information) there is no copy of the log to fill.
  if (!HasEventBuffers()) return KAV_NOT_AVAILABLE;

  // The ring as allocated at Attach bounds every offset, whatever later system
  // information says.
  const int pages_in_ring = m_nEventRingPages;
  const int slots = pages_in_ring * kRecordsPerPage;

  int status = KAV_OK;
  for (int attempt = 1;; ++attempt) {
    status = KAV_OK;
    int first = 0;
    status = GetEventPointer(&first);
    if (status == KAV_OK) {
      int fresh;
      if (mode == 0) {
        fresh = slots;
      } else if (m_nCurEventPointer == m_nPrevEventPointer) {
        *count = 0;
        return KAV_OK;
      } else if (m_nCurEventPointer > m_nPrevEventPointer) {
        fresh = m_nCurEventPointer - m_nPrevEventPointer;
      } else {
        fresh = m_nCurEventPointer - m_nPrevEventPointer + slots;
      }
      // A pointer at or beyond the ring's end cannot mean more than the whole ring.
      if (fresh > slots) fresh = slots;
      if (fresh < 0) fresh = 0;
      const int pages = fresh > 0 ? (fresh - 1) / kRecordsPerPage + 1 : 0;

      for (int j = 0; j < pages && status == KAV_OK; ++j) {
        status = ReadEventPage(static_cast<uint8_t>(j));
        if (status == KAV_OK) {
          std::memcpy(m_pEventRing + (pages_in_ring - 1 - j) * kEventPageSize, m_pEventPage,
                      kEventPageSize);
        }
      }
      if (status == KAV_OK) {
        int second = 0;
        status = GetEventPointer(&second);
        if (status == KAV_OK && second == first) {
          m_nPrevEventPointer = m_nCurEventPointer;
          m_nNewEventCount = fresh;
          *count = fresh;
          return KAV_OK;
        }
      }
    }
    // The attempt failed: a command failed, or the pointer moved meanwhile.
    if (mode == 0 || attempt >= kReadAttempts) return status;
    Sleep(1);
  }
}

int CKavlib::GetEvent(int index, uint8_t* record) {
  const int slots = m_nEventRingPages * kRecordsPerPage;
  if (record == nullptr || m_pEventRing == nullptr || index < 0 || index >= slots) return 0;
  std::memcpy(record, m_pEventRing + (slots - 1 - index) * kEventRecordSize, kEventRecordSize);
  return 1;
}

int CKavlib::ClearEventLog() {
  uint8_t reply[kCommandReplyArea] = {};
  int length = 0;
  const int status = SendCommand(kCmdClearEventLog, nullptr, 0, reply, sizeof(reply), &length);
  if (status == KAV_OK) {
    m_nPrevEventPointer = 0;
    m_nNewEventCount = 0;
  }
  return status;
}
