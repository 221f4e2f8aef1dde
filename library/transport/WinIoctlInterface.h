// The miniport transport: reaches a controller through its SCSI port device
// with DeviceIoControl(IOCTL_SCSI_MINIPORT) requests of a 1060-byte control
// block, under a machine-wide mutex per port so that exchanges of all
// processes never interleave on one controller.
#pragma once

#include <cstdint>

#include "library/transport/KavInterface.h"
#include "platform/windows.h"

// The miniport control block: the SRB_IO_CONTROL header and a data window.
inline constexpr int kMiniportHeaderLength = 28;
inline constexpr int kMiniportWindow = 1032;
inline constexpr int kMiniportBlockSize = kMiniportHeaderLength + kMiniportWindow;  // 1060
inline constexpr int kMiniportMaxChunk = 1031;
inline constexpr uint32_t kMiniportTimeout = 10000;

// The driver's control codes.
inline constexpr uint32_t kControlRead = 0x90002004u;
inline constexpr uint32_t kControlWrite = 0x90002008u;
inline constexpr uint32_t kControlPrepareSecond = 0x9000200Cu;
inline constexpr uint32_t kControlPrepareFirst = 0x90002010u;
inline constexpr uint32_t kControlProbe = 0x90002018u;
inline constexpr uint32_t kProbeAnswer = 63;
inline constexpr uint32_t kWriteAccepted = 1;

// The receive buffer of one exchange bounds the reply size.
inline constexpr int kReceiveBufferSize = 0x30000;

// The per-port mutex is this prefix followed by the port number.
inline constexpr const char* kPortMutexPrefix = "Iqsprd\\LfzMojabBunrv";

class WinIoctlInterface : public KavInterface {
 public:
  WinIoctlInterface();
  ~WinIoctlInterface() override;

  // Opens SCSI port `port` and checks that the controller's driver answers.
  // Only on a closed object; after a failure the object may try another port.
  bool OpenPort(int port);

  int Write(TransferRequest& request) override;
  int Read(TransferRequest& request) override;
  int Transact(TransferRequest& request) override;
  int GetMaxChunk() override;
  HANDLE GetHandle() override;
  void Lock() override;
  void Unlock() override;

 private:
  void CloseAll();

  HANDLE m_hDevice = nullptr;
  HANDLE m_hMutex = nullptr;
  PSECURITY_DESCRIPTOR m_pSecurityDescriptor = nullptr;
};
