// The miniport transport: control blocks to the controller's SCSI port device,
// chunked writes and polled reads under the machine-wide port mutex.
#include "library/transport/WinIoctlInterface.h"

#include "library/transport/ScratchBuffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

static_assert(kReceiveBufferSize == static_cast<int>(ScratchBuffer::kSize));

namespace {

constexpr const char* kDriverSignature = "KAVMSR";
constexpr DWORD kPollIntervalMs = 10;

// The SRB_IO_CONTROL header followed by the data window, as the driver takes it.
struct ControlBlock {
  SRB_IO_CONTROL header;
  uint8_t data[kMiniportWindow];
};
static_assert(sizeof(ControlBlock) == kMiniportBlockSize, "the control block is 1060 bytes");

void FillHeader(SRB_IO_CONTROL& header, uint32_t control_code, uint32_t length) {
  std::memset(&header, 0, sizeof(header));
  header.HeaderLength = kMiniportHeaderLength;
  std::memcpy(header.Signature, kDriverSignature, std::strlen(kDriverSignature));
  header.Timeout = kMiniportTimeout;
  header.ControlCode = control_code;
  header.Length = length;
}

void FillHeader(ControlBlock& block, uint32_t control_code, uint32_t length) {
  FillHeader(block.header, control_code, length);
}

}  // namespace

WinIoctlInterface::WinIoctlInterface() { m_nTimeout = 60; }

WinIoctlInterface::~WinIoctlInterface() { CloseAll(); }

void WinIoctlInterface::CloseAll() {
  if (m_hDevice != nullptr) {
    CloseHandle(m_hDevice);
    m_hDevice = nullptr;
  }
  if (m_pSecurityDescriptor != nullptr) {
    LocalFree(m_pSecurityDescriptor);
    m_pSecurityDescriptor = nullptr;
  }
  if (m_hMutex != nullptr) {
    CloseHandle(m_hMutex);
    m_hMutex = nullptr;
  }
}

bool WinIoctlInterface::OpenPort(int port) {
  // Callers only open closed objects; closing first keeps a repeated call from
  // leaking the handles of the earlier port.
  CloseAll();

  char device_path[64];
  char mutex_name[64];
  std::snprintf(device_path, sizeof(device_path), "\\\\.\\%s%d:", "scsi", port);
  std::snprintf(mutex_name, sizeof(mutex_name), "%s%d", kPortMutexPrefix, port);

  HANDLE device = CreateFileA(device_path, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  if (device == INVALID_HANDLE_VALUE || device == nullptr) return false;
  m_hDevice = device;

  // The probe: the driver answers 63 when it is the controller's miniport.
  SRB_IO_CONTROL probe;
  FillHeader(probe, kControlProbe, 0);
  DWORD returned = 0;
  if (!DeviceIoControl(m_hDevice, IOCTL_SCSI_MINIPORT, &probe, sizeof(probe), &probe,
                       sizeof(probe), &returned, nullptr) ||
      probe.ReturnCode != kProbeAnswer) {
    CloseAll();
    return false;
  }

  // A null DACL lets services and desktop programs of any account share the mutex.
  m_pSecurityDescriptor = LocalAlloc(LMEM_ZEROINIT, SECURITY_DESCRIPTOR_MIN_LENGTH);
  if (m_pSecurityDescriptor == nullptr ||
      !InitializeSecurityDescriptor(m_pSecurityDescriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(m_pSecurityDescriptor, TRUE, nullptr, FALSE)) {
    CloseAll();
    return false;
  }

  SECURITY_ATTRIBUTES attributes;
  attributes.nLength = 12;
  attributes.lpSecurityDescriptor = m_pSecurityDescriptor;
  attributes.bInheritHandle = TRUE;
  m_hMutex = CreateMutexA(&attributes, FALSE, mutex_name);
  if (m_hMutex == nullptr) {
    CloseAll();
    return false;
  }
  return true;
}

int WinIoctlInterface::Write(TransferRequest& request) {
  if (request.request_length < 0 || (request.request_length > 0 && request.request == nullptr)) {
    return 0;
  }
  // The window holds at most one chunk; a longer request is taken one chunk at a time.
  const int length = std::min<int>(request.request_length, kMiniportMaxChunk);
  ControlBlock block;
  FillHeader(block, kControlWrite, static_cast<uint32_t>(length));
  std::memset(block.data, 0, sizeof(block.data));
  if (length > 0) std::memcpy(block.data, request.request, static_cast<size_t>(length));
  DWORD returned = 0;
  if (!DeviceIoControl(m_hDevice, IOCTL_SCSI_MINIPORT, &block, sizeof(block), &block,
                       sizeof(block), &returned, nullptr)) {
    return -1;
  }
  return block.header.ReturnCode == kWriteAccepted ? length : 0;
}

int WinIoctlInterface::Read(TransferRequest& request) {
  ControlBlock in;
  FillHeader(in, kControlRead, kMiniportMaxChunk);
  std::memset(in.data, 0, sizeof(in.data));
  ControlBlock out;
  std::memset(&out, 0, sizeof(out));
  DWORD returned = 0;
  if (!DeviceIoControl(m_hDevice, IOCTL_SCSI_MINIPORT, &in, sizeof(in), &out, sizeof(out),
                       &returned, nullptr)) {
    return -1;
  }
  // The driver's count is trusted no further than its own window and the caller's room.
  uint32_t available = std::min<uint32_t>(out.header.Length, kMiniportWindow);
  if (available == 0) return 0;
  const int capacity = request.reply == nullptr ? 0 : std::max(request.reply_capacity, 0);
  const int count = std::min<int>(static_cast<int>(available), capacity);
  if (count > 0) std::memcpy(request.reply, out.data, static_cast<size_t>(count));
  return count;
}

int WinIoctlInterface::Transact(TransferRequest& request) {
  Lock();

  const uint32_t budget = request.timeout / kPollIntervalMs;
  uint32_t retries = budget;
  int result = 0;

  // The driver is readied for an exchange; what it answers does not matter.
  {
    ControlBlock block;
    FillHeader(block, kControlPrepareFirst, kMiniportMaxChunk);
    std::memset(block.data, 0, sizeof(block.data));
    DWORD returned = 0;
    if (DeviceIoControl(m_hDevice, IOCTL_SCSI_MINIPORT, &block, sizeof(block), &block,
                        sizeof(block), &returned, nullptr)) {
      FillHeader(block, kControlPrepareSecond, kMiniportMaxChunk);
      DeviceIoControl(m_hDevice, IOCTL_SCSI_MINIPORT, &block, sizeof(block), &block,
                      sizeof(block), &returned, nullptr);
    }
  }

  // Write phase: the retry budget limits a stretch of refusals, not the whole request.
  const uint8_t* cursor = request.request;
  int remaining = request.request == nullptr ? 0 : std::max(request.request_length, 0);
  bool written = true;
  while (remaining > 0) {
    TransferRequest chunk;
    chunk.request = cursor;
    chunk.request_length = std::min(remaining, kMiniportMaxChunk);
    const int sent = Write(chunk);
    if (sent > 0) {
      const int advance = std::min(sent, chunk.request_length);
      cursor += advance;
      remaining -= advance;
      retries = budget;
      continue;
    }
    Sleep(kPollIntervalMs);
    if (retries == 0) {
      written = false;
      result = kTransportNotWritten;
      break;
    }
    --retries;
  }

  if (written) {
    // Read phase into scratch memory of this exchange; the receive buffer bounds
    // the reply and is never written past its end. Each read's window is zeroed
    // just before the read instead of zero-filling all of it up front: what the
    // frame-length function can see is the same, without touching memory that
    // short replies never reach.
    ScratchBuffer buffer;
    if (!buffer) {
      result = kTransportReadFailed;
    } else {
      int received = 0;
      int expected = -1;
      for (;;) {
        const int room = kReceiveBufferSize - received;
        if (room <= 0) {
          // A reply that does not fit the receive buffer is reported like one that
          // does not fit the caller's buffer.
          result = 0;
          break;
        }
        TransferRequest chunk;
        chunk.reply = buffer.get() + received;
        chunk.reply_capacity = std::min(GetMaxChunk(), room);
        if (chunk.reply_capacity > 0) {
          std::memset(chunk.reply, 0, static_cast<size_t>(chunk.reply_capacity));
        }
        const int got = Read(chunk);
        if (got < 0) {
          result = kTransportReadFailed;
          break;
        }
        if (got == 0) {
          Sleep(kPollIntervalMs);
          if (retries == 0) {
            result = kTransportNoReply;
            break;
          }
          --retries;
          continue;
        }
        received += std::min(got, chunk.reply_capacity);
        retries = budget;
        if (expected < 0) {
          const int told =
              request.frame_length == nullptr ? received : request.frame_length(buffer.get(), received);
          if (told == -1) continue;
          if (told < 0) {
            result = received;  // given up: the count received, nothing copied
            break;
          }
          expected = told;
          if (expected > kReceiveBufferSize) {
            result = 0;  // announced longer than the receive buffer can hold
            break;
          }
        }
        if (received >= expected) {
          const int capacity = request.reply == nullptr ? 0 : request.reply_capacity;
          if (received > capacity) {
            result = 0;
          } else {
            std::memcpy(request.reply, buffer.get(), static_cast<size_t>(received));
            result = received;
          }
          break;
        }
      }
    }
  }

  Unlock();
  return result;
}

int WinIoctlInterface::GetMaxChunk() { return kMiniportMaxChunk; }

HANDLE WinIoctlInterface::GetHandle() { return m_hDevice; }

void WinIoctlInterface::Lock() {
  if (m_hMutex != nullptr) WaitForSingleObject(m_hMutex, INFINITE);
}

void WinIoctlInterface::Unlock() {
  if (m_hMutex != nullptr) ReleaseMutex(m_hMutex);
}
