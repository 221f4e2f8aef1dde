// The simulated controller as a library: the miniport-driver model and the
// firmware model of each controller of a scenario, and a server that offers
// them as device endpoints scsiN to the platform's device calls.
//
// Tests of the layers above run a DeviceServer in-process on a temp directory
// (and point KAV_DEVICE_DIR at it), or call Controller::HandleControl directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/model/FirmwareState.h"

namespace kavsim {

class Firmware;

// Faults a controller can be told to show. Each is switched per port.
enum class Fault {
  kDelayReply,        // "delay-reply": the first reads after a reply come back empty
  kSplitReply,        // "split-reply": a reply arrives in small pieces over several reads
  kNoAnswer,          // "no-answer": requests are taken but never answered
  kRefuseWrites,      // "refuse-writes": writes come back with ReturnCode 0
  kFailControl,       // "fail-control": every control call fails
  kBadChecksum,       // "bad-checksum": reply frames carry a wrong checksum
  kBadHeader,         // "bad-header": reply frames start with a wrong header
  kStatusLetter,      // "status-letter": every command is answered with a status letter
  kMoveEventPointer,  // "move-event-pointer": an event is logged whenever a page is read
  kOversizeReply,     // "oversize-reply": replies announce more bytes than any host buffer
  kDropConnection,    // "drop-connection": the endpoint hangs up on every request
};
inline constexpr int kFaultCount = 11;

const char* FaultName(Fault fault);
// False when the name is not one of the names above.
bool ParseFault(const std::string& name, Fault* fault);
std::vector<std::string> FaultNames();

// Miniport control block and control codes, as the driver sees them.
namespace miniport {
inline constexpr size_t kHeaderLength = 28;
inline constexpr size_t kBlockSize = 1060;
inline constexpr size_t kWindow = 1031;
inline constexpr uint32_t kRead = 0x90002004u;
inline constexpr uint32_t kWrite = 0x90002008u;
inline constexpr uint32_t kPrepareSecond = 0x9000200Cu;
inline constexpr uint32_t kPrepareFirst = 0x90002010u;
inline constexpr uint32_t kProbe = 0x90002018u;
inline constexpr uint32_t kProbeAnswer = 63;
inline constexpr uint32_t kWriteAccepted = 1;
}  // namespace miniport

class Controller {  // firmware + miniport-driver model of one controller
 public:
  Controller(int port, std::unique_ptr<FirmwareState> state);
  ~Controller();
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  int port() const { return port_; }

  // One DeviceIoControl(IOCTL_SCSI_MINIPORT) call: the 1060-byte control block
  // in, the answer out; returns false when the control call itself fails.
  bool HandleControl(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                     size_t* returned);

  // Logs an event as the firmware would (type, code, byte 2, object name).
  void AppendEvent(int type, int code, int byte2, const std::string& name);
  bool SetFault(const std::string& name, bool on);  // false for an unknown fault name
  void SetFault(Fault fault, bool on);
  bool HasFault(Fault fault) const;
  // The letter that fault "status-letter" answers ('E' unless set; 'A'..'T').
  bool SetFaultLetter(char letter);
  std::string Describe() const;  // what `kavsimctl show` prints

  // Model state, for tests.
  uint8_t EventPointer() const;
  uint32_t EventSlots() const;
  std::vector<uint8_t> EventPage(int page) const;  // 512 bytes, newest record last
  void ClearEvents();
  std::vector<uint8_t> SystemInfo() const;          // the 256-byte command-35 record
  std::vector<uint8_t> DataArea() const;
  std::string LastText(int command) const;          // text last set by 16/17/18/20/50
  // Bytes the driver holds for the host's next reads.
  size_t PendingReplyBytes() const;
  // Runs f with the state locked; f may change the model but must not call
  // this controller's other operations (the lock is not recursive).
  template <typename F>
  void WithState(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    f(*state_);
  }

 private:
  bool ControlLocked(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                     size_t* returned);
  void AcceptBytes(const uint8_t* data, size_t size);
  void QueueReply(std::vector<uint8_t> reply);
  size_t TakeReplyBytes(uint8_t* window, size_t capacity);

  const int port_;
  mutable std::mutex mutex_;
  std::unique_ptr<FirmwareState> state_;
  std::unique_ptr<Firmware> firmware_;
  std::vector<uint8_t> request_;  // bytes of a frame not yet complete
  std::vector<uint8_t> reply_;    // reply bytes the host has not read yet
  size_t reply_offset_ = 0;
  int empty_reads_left_ = 0;      // fault delay-reply
  bool first_piece_ = true;       // fault split-reply
  bool faults_[kFaultCount] = {};
  char fault_letter_ = 'E';
};

class Simulator {  // the controllers of one scenario, by port
 public:
  static std::unique_ptr<Simulator> LoadFile(const std::string& path, std::string* error);
  static std::unique_ptr<Simulator> LoadText(const std::string& json, std::string* error);
  Controller* At(int port);  // nullptr when no controller on that port
  std::vector<int> Ports() const;
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::vector<std::unique_ptr<Controller>> controllers_;  // ordered by port
};

class DeviceServer {  // serves endpoints scsiN in a directory from a background thread
 public:
  DeviceServer(Simulator& sim, std::string device_dir);
  ~DeviceServer();
  DeviceServer(const DeviceServer&) = delete;
  DeviceServer& operator=(const DeviceServer&) = delete;
  bool Start(std::string* error);
  void Stop();  // also in the destructor
  // Called with one line per served endpoint and per connection (kavsim logs them).
  void SetLog(void (*log)(const std::string& line));

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kavsim
