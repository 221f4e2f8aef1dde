// The firmware model of one controller: takes a command and its payload,
// answers as the controller's firmware would.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/model/FirmwareState.h"

namespace kavsim {

// Status letters the firmware answers for requests it does not carry out.
namespace letter {
inline constexpr char kDone = 'A';         // carried out, nothing to return
inline constexpr char kBadPayload = 'B';   // wrong payload length or contents
inline constexpr char kBadChecksum = 'C';  // request frame checksum wrong
inline constexpr char kBadKey = 'D';       // keyed header or magic missing
inline constexpr char kNotAvailable = 'H'; // command unknown or not on this subsystem
inline constexpr char kWrongCommunity = 'K';
inline constexpr char kPastEnd = 'T';      // number or page past the end
}  // namespace letter

// What a command handler answers.
struct Answer {
  enum class Kind { kData, kStatus, kFrame, kNothing } kind = Kind::kNothing;
  std::vector<uint8_t> bytes;  // body (kData) or the whole reply frame (kFrame)
  char status = 0;

  static Answer Data(std::vector<uint8_t> body) { return {Kind::kData, std::move(body), 0}; }
  static Answer Status(char c) { return {Kind::kStatus, {}, c}; }
  static Answer Frame(std::vector<uint8_t> frame) { return {Kind::kFrame, std::move(frame), 0}; }
  static Answer Nothing() { return {}; }  // a piece of a longer request: no reply yet
};

class Firmware;
using Payload = std::span<const uint8_t>;
using Handler = Answer (*)(Firmware& fw, Payload payload);

class Firmware {
 public:
  explicit Firmware(FirmwareState& state);
  ~Firmware();

  Answer Execute(uint8_t code, Payload payload);

  FirmwareState& state() { return state_; }
  // Logs an event stamped with the controller's clock.
  void LogEvent(int type, int code, int byte2, const std::string& name);
  // The controller's clock as a broken-down time.
  std::tm ControllerTime() const;
  void SetControllerTime(const std::tm& t, bool utc);
  // Pieces of a web request received so far (command 22).
  std::string& web_request() { return web_request_; }

 private:
  FirmwareState& state_;
  std::string web_request_;
  std::time_t started_;
};

// Handlers by command family, each in its own file; a family adds its commands
// to the table with Register.
struct CommandEntry {
  uint8_t code;
  Handler handler;
  bool jbod;  // also served by a JBOD subsystem
};
class CommandRegistry {
 public:
  void Register(uint8_t code, Handler handler, bool jbod = false);
  const CommandEntry* Find(uint8_t code) const;

 private:
  std::vector<CommandEntry> entries_;
};
const CommandRegistry& Commands();

void RegisterSystemCommands(CommandRegistry& r);   // 19, 35
void RegisterEventCommands(CommandRegistry& r);    // 25, 26, 36
void RegisterRecordCommands(CommandRegistry& r);   // 32, 33, 34
void RegisterMonitorCommands(CommandRegistry& r);  // 27
void RegisterKeyedCommands(CommandRegistry& r);    // 16, 17, 18, 23, 29
void RegisterDataAreaCommands(CommandRegistry& r); // 24
void RegisterWebCommands(CommandRegistry& r);      // 22
void RegisterSimpleCommands(CommandRegistry& r);   // 20, 21, 48-53, 55, 57
void RegisterSnmpCommands(CommandRegistry& r);     // 30

}  // namespace kavsim
