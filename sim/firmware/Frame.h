// Command and reply frames of the controller protocol, as the firmware builds
// and checks them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavsim {

inline constexpr uint8_t kFrameMagic[3] = {0x5E, 0x01, 0x61};
inline constexpr size_t kFrameHeader = 5;  // magic and 16-bit length

// Sum of bytes [from, to) modulo 256.
uint8_t SumBytes(const uint8_t* data, size_t from, size_t to);

// A reply frame around body (at most 65535 bytes).
std::vector<uint8_t> DataReply(const std::vector<uint8_t>& body);
// A status reply: one letter 'A'..'T' as the body.
std::vector<uint8_t> StatusReply(char letter);
// The extended length form used for web pages: 0xFF 0xFF and a 24-bit length in
// place of the first three bytes of the response, which starts with "HTTP".
std::vector<uint8_t> ExtendedReply(const std::string& response);

// How far a request frame at the start of data is complete.
enum class FrameCheck { kNeedMore, kComplete, kBadHeader };
// *total receives the frame length (payload + 7) once the header is known.
FrameCheck CheckRequestFrame(const uint8_t* data, size_t size, size_t* total);

// A parsed request frame.
struct RequestFrame {
  uint8_t code = 0;
  std::vector<uint8_t> payload;
  bool checksum_ok = false;
};
RequestFrame ParseRequestFrame(const uint8_t* frame, size_t total);

// Builds a request frame (for tests and tools).
std::vector<uint8_t> BuildRequestFrame(uint8_t code, const std::vector<uint8_t>& payload);

}  // namespace kavsim
