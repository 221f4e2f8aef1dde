// Controller command codes, reply-frame constants and the status mapping used
// by the command families (library-internal).
#pragma once

#include <cstdint>

namespace kavcmd {

inline constexpr uint8_t kFrameLead0 = 0x5E;
inline constexpr uint8_t kFrameLead1 = 0x01;
inline constexpr uint8_t kFrameLead2 = 0x61;
inline constexpr int kFrameHeader = 5;    // lead bytes and the 16-bit length
inline constexpr int kFrameOverhead = 7;  // header, command code and checksum
inline constexpr int kRequestBufferSize = 0x30000;
inline constexpr int kReplyBufferSize = 0x30000;
inline constexpr int kCommandReplyArea = 2048;  // reply area of the ordinary commands

inline constexpr uint32_t kDefaultTimeoutMs = 60000;
inline constexpr uint32_t kShortTimeoutMs = 3000;
inline constexpr uint32_t kFlagWebFrame = 1u << 0;  // command 22
inline constexpr uint32_t kFlagKind3 = 1u << 3;     // controller kind 3

inline constexpr uint8_t kCmdPrefixedText16 = 16;
inline constexpr uint8_t kCmdKeyedText17 = 17;
inline constexpr uint8_t kCmdKeyedText18 = 18;
inline constexpr uint8_t kCmdSubsystemInfo = 19;
inline constexpr uint8_t kCmdText20 = 20;
inline constexpr uint8_t kCmd21 = 21;
inline constexpr uint8_t kCmdWebFrame = 22;
inline constexpr uint8_t kCmdKeyedValue23 = 23;
inline constexpr uint8_t kCmdDataArea = 24;
inline constexpr uint8_t kCmdEventPointer = 25;
inline constexpr uint8_t kCmdEventPage = 26;
inline constexpr uint8_t kCmdHardwareMonitor = 27;
inline constexpr uint8_t kCmdControllerTime = 29;
inline constexpr uint8_t kCmdSnmp = 30;
inline constexpr uint8_t kCmdRaidSetInfo = 32;
inline constexpr uint8_t kCmdVolumeSetInfo = 33;
inline constexpr uint8_t kCmdDeviceInfo = 34;
inline constexpr uint8_t kCmdSystemInfo = 35;
inline constexpr uint8_t kCmdClearEventLog = 36;
inline constexpr uint8_t kCmd48 = 48;
inline constexpr uint8_t kCmdOption49 = 49;
inline constexpr uint8_t kCmdName50 = 50;
inline constexpr uint8_t kCmdOption51 = 51;
inline constexpr uint8_t kCmdOption52 = 52;
inline constexpr uint8_t kCmdOption53 = 53;
inline constexpr uint8_t kCmd54 = 54;
inline constexpr uint8_t kCmdOptions55 = 55;
inline constexpr uint8_t kCmdIpAddress = 57;
inline constexpr uint8_t kCmdPassThrough = 238;
inline constexpr uint8_t kCmd239 = 239;

// The keyed header in front of the payloads of commands 17, 18, 23 and 29.
inline constexpr int kKeyedHeaderSize = 9;
inline constexpr uint8_t kKeyedHeader[kKeyedHeaderSize] = {8, 'K', 'a', 'V', 'o', 'R', 'q', 'I', 'n'};

// The subsystem names the library knows (20 characters, no terminator).
inline constexpr int kSubsystemNameSize = 20;
inline constexpr const char* kRaidSubsystemName = "Kavor RAID Subsystem";
inline constexpr const char* kJbodSubsystemName = "Kavor JBOD Subsystem";

// Whether a JBOD subsystem accepts the command.
bool AllowedOnJbod(uint8_t code);

// The library status for a negative transport result other than -4 (which
// repeats the command).
int StatusForTransportResult(int result);

// The library status for a controller status letter 'A' to 'T'.
int StatusForLetter(uint8_t letter);

}  // namespace kavcmd
