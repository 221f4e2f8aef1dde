// A minimal host side of the miniport protocol for tests: control blocks,
// chunked writes and polled reads against a Controller, without sockets.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sim/Simulator.h"
#include "sim/firmware/Frame.h"

namespace kavsim::testing {

inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t Get32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

inline std::vector<uint8_t> Block(uint32_t code, uint32_t length, const uint8_t* data = nullptr,
                                  size_t size = miniport::kBlockSize) {
  std::vector<uint8_t> b(size, 0);
  Put32(b.data(), 28);
  std::memcpy(b.data() + 4, "KAVMSR", 6);
  Put32(b.data() + 12, 10000);
  Put32(b.data() + 16, code);
  Put32(b.data() + 24, length);
  if (data != nullptr) std::memcpy(b.data() + 28, data, length);
  return b;
}

struct Reply {
  bool ok = false;               // every control call succeeded and a reply came
  std::vector<uint8_t> frame;    // the reply as received
  int reads = 0;                 // read calls that returned bytes
  int empty_reads = 0;
  size_t largest_read = 0;
};

class DriverHost {
 public:
  explicit DriverHost(Controller& c) : c_(c) {}

  // One control call; out receives the answer block.
  bool Control(std::vector<uint8_t>& in, std::vector<uint8_t>* out = nullptr) {
    std::vector<uint8_t> scratch(miniport::kBlockSize, 0);
    std::vector<uint8_t>& o = out != nullptr ? *out : scratch;
    o.assign(miniport::kBlockSize, 0);
    size_t returned = 0;
    return c_.HandleControl(in.data(), in.size(), o.data(), o.size(), &returned);
  }

  // Write returns the ReturnCode, or -1 when the call failed.
  int Write(const uint8_t* data, size_t n) {
    auto in = Block(miniport::kWrite, static_cast<uint32_t>(n), data);
    std::vector<uint8_t> out;
    if (!Control(in, &out)) return -1;
    return static_cast<int>(Get32(out.data() + 20));
  }

  // The bytes one read returns; nullopt when the call failed.
  std::optional<std::vector<uint8_t>> Read() {
    auto in = Block(miniport::kRead, miniport::kWindow);
    std::vector<uint8_t> out;
    if (!Control(in, &out)) return std::nullopt;
    uint32_t n = Get32(out.data() + 24);
    if (n > miniport::kWindow) return std::nullopt;
    return std::vector<uint8_t>(out.begin() + 28, out.begin() + 28 + n);
  }

  // A whole exchange as the host transport does it: preparatory requests,
  // writes of at most 1031 bytes, reads until the frame length is reached.
  Reply Transact(const std::vector<uint8_t>& stream, int max_empty_reads = 20) {
    Reply r;
    auto p1 = Block(miniport::kPrepareFirst, miniport::kWindow);
    if (!Control(p1)) return r;
    auto p2 = Block(miniport::kPrepareSecond, miniport::kWindow);
    Control(p2);
    for (size_t at = 0; at < stream.size();) {
      size_t n = std::min(stream.size() - at, miniport::kWindow);
      if (Write(stream.data() + at, n) != 1) return r;
      at += n;
    }
    size_t expected = 0;
    while (r.empty_reads <= max_empty_reads) {
      auto bytes = Read();
      if (!bytes) return r;
      if (bytes->empty()) {
        ++r.empty_reads;
        continue;
      }
      ++r.reads;
      r.largest_read = std::max(r.largest_read, bytes->size());
      r.frame.insert(r.frame.end(), bytes->begin(), bytes->end());
      if (expected == 0 && r.frame.size() >= 6) {
        if (r.frame[3] == 0xFF && r.frame[4] == 0xFF) {
          expected = r.frame[5] + (size_t{r.frame[6]} << 8) + (size_t{r.frame[7]} << 16) + 6;
        } else {
          expected = r.frame[3] + (size_t{r.frame[4]} << 8) + 6;
        }
      }
      if (expected != 0 && r.frame.size() >= expected) {
        r.ok = true;
        return r;
      }
    }
    return r;
  }

  Reply Command(uint8_t code, const std::vector<uint8_t>& payload = {}) {
    return Transact(BuildRequestFrame(code, payload));
  }

  // The body of a framed reply; a status reply gives its one letter.
  std::vector<uint8_t> Body(uint8_t code, const std::vector<uint8_t>& payload = {}) {
    Reply r = Command(code, payload);
    if (!r.ok || r.frame.size() < 6) return {};
    return std::vector<uint8_t>(r.frame.begin() + 5, r.frame.end() - 1);
  }

  // The status letter of a status reply, or 0 when the reply is data.
  char Status(uint8_t code, const std::vector<uint8_t>& payload = {}) {
    Reply r = Command(code, payload);
    if (!r.ok || r.frame.size() != 7) return 0;
    return static_cast<char>(r.frame[5]);
  }

 private:
  Controller& c_;
};

// A frame is valid when its length fits and its checksum matches.
inline bool ValidReply(const std::vector<uint8_t>& f) {
  if (f.size() < 6 || f[0] != 0x5E || f[1] != 0x01 || f[2] != 0x61) return false;
  size_t l = f[3] | (size_t{f[4]} << 8);
  return l + 6 <= f.size() && SumBytes(f.data(), 3, l + 5) == f[l + 5];
}

inline const char* kOneController = R"({"controllers": [{"port": 0}]})";

}  // namespace kavsim::testing
