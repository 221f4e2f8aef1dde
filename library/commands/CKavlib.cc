// The library object: factory, attachment to a transport, subsystem detection
// and the system information cache.
#include "library/commands/CKavlib.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "library/commands/CommandCodes.h"

using namespace kavcmd;

namespace {

// The controller's event pointer is one byte, so no real ring is anywhere near
// this; it only keeps a nonsensical slot count from asking for gigabytes.
constexpr uint32_t kMaxEventSlots = 65536;

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

extern "C" CKavlib* AllocateCKavlib() { return new (std::nothrow) CKavlib(); }

extern "C" void FreeCKavlib(CKavlib* library) { delete library; }

CKavlib::CKavlib() = default;

CKavlib::~CKavlib() { ReleaseResources(); }

void CKavlib::ReleaseResources() {
  std::free(m_pEventPage);
  m_pEventPage = nullptr;
  std::free(m_pEventRing);
  m_pEventRing = nullptr;
  m_nEventRingPages = 0;
  if (m_pTransport != nullptr) {
    delete m_pTransport;
    m_pTransport = nullptr;
    m_nMaxChunk = 0;
  }
}

KavInterface* CKavlib::GetTransport() { return m_pTransport; }

int CKavlib::Attach(KavInterface* transport) {
  // A repeated Attach releases what the earlier one took, except the transport
  // itself when it is handed over again.
  if (transport != nullptr && transport == m_pTransport) m_pTransport = nullptr;
  ReleaseResources();
  m_nJbod = 0;
  m_nPrevEventPointer = 0;
  m_nCurEventPointer = 0;
  m_nNewEventCount = 0;
  if (transport == nullptr) return KAV_INVALID_ARGUMENT;

  m_pTransport = transport;
  m_pTransport->m_nTimeout = 60;
  m_nMaxChunk = std::max(m_pTransport->GetMaxChunk(), 8);

  if (DetectJbod()) m_nJbod = 1;

  std::memset(m_SystemInfo, 0, sizeof(m_SystemInfo));
  const int status = GetSystemInfo(m_SystemInfo);
  if (status != KAV_OK || m_nJbod != 0) return status;

  // Only whole pages of the ring are read, so a slot count that is not a
  // multiple of 16 is rounded down.
  const uint32_t slots = std::min(ReadLe32(m_SystemInfo + kSysInfoEventSlots), kMaxEventSlots);
  const int32_t pages = static_cast<int32_t>(slots / 16);
  m_pEventPage = static_cast<uint8_t*>(std::calloc(kEventPageSize, 1));
  m_pEventRing = static_cast<uint8_t*>(
      std::calloc(static_cast<size_t>(std::max(pages, 1)) * kEventPageSize, 1));
  if (m_pEventPage == nullptr || m_pEventRing == nullptr) {
    std::free(m_pEventPage);
    std::free(m_pEventRing);
    m_pEventPage = nullptr;
    m_pEventRing = nullptr;
    return KAV_NO_REPLY_BUFFER;
  }
  m_nEventRingPages = pages;
  return KAV_OK;
}

bool CKavlib::DetectJbod() {
  uint8_t record[64] = {};
  if (GetSubsystemInfo(record) != KAV_OK) return false;
  return std::memcmp(record, kJbodSubsystemName, kSubsystemNameSize) == 0;
}

int CKavlib::GetSystemInfo(uint8_t* dst) {
  if (dst == nullptr) return KAV_INVALID_ARGUMENT;
  uint8_t reply[kCommandReplyArea] = {};
  std::memset(dst, 0, kSystemInfoSize);
  int length = 0;
  const int status = SendCommand(kCmdSystemInfo, nullptr, 0, reply, sizeof(reply), &length);
  if (status == KAV_OK) {
    std::memcpy(dst, reply, kSystemInfoSize);
    if (dst != m_SystemInfo) std::memcpy(m_SystemInfo, reply, kSystemInfoSize);
  }
  return status;
}

int CKavlib::GetSubsystemInfo(uint8_t* record) {
  if (record == nullptr) return KAV_INVALID_ARGUMENT;
  uint8_t reply[kCommandReplyArea] = {};
  int length = 0;
  const int status = SendCommand(kCmdSubsystemInfo, nullptr, 0, reply, sizeof(reply), &length);
  if (status == KAV_OK) std::memcpy(record, reply, kSubsystemInfoSize);
  return status;
}
