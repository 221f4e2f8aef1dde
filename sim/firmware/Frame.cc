// Frame encoding and checks of the firmware model.
#include "sim/firmware/Frame.h"

#include <algorithm>

namespace kavsim {

uint8_t SumBytes(const uint8_t* data, size_t from, size_t to) {
  unsigned sum = 0;
  for (size_t i = from; i < to; ++i) sum += data[i];
  return static_cast<uint8_t>(sum);
}

std::vector<uint8_t> DataReply(const std::vector<uint8_t>& body) {
  size_t n = std::min<size_t>(body.size(), 0xFFFF);
  std::vector<uint8_t> f = {kFrameMagic[0], kFrameMagic[1], kFrameMagic[2],
                            static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
  f.insert(f.end(), body.begin(), body.begin() + static_cast<std::ptrdiff_t>(n));
  f.push_back(SumBytes(f.data(), 3, f.size()));
  return f;
}

std::vector<uint8_t> StatusReply(char letter) {
  return DataReply({static_cast<uint8_t>(letter)});
}

std::vector<uint8_t> ExtendedReply(const std::string& response) {
  size_t n = std::min<size_t>(response.size(), 0xFFFFFF);
  std::vector<uint8_t> f = {kFrameMagic[0], kFrameMagic[1], kFrameMagic[2], 0xFF, 0xFF};
  f.insert(f.end(), response.begin(), response.begin() + static_cast<std::ptrdiff_t>(n));
  // The length takes the place of the first three response bytes; the host
  // writes "HTTP" back over them.
  while (f.size() < 8) f.push_back(0);
  f[5] = static_cast<uint8_t>(n);
  f[6] = static_cast<uint8_t>(n >> 8);
  f[7] = static_cast<uint8_t>(n >> 16);
  f.push_back(SumBytes(f.data(), 3, f.size()));
  return f;
}

FrameCheck CheckRequestFrame(const uint8_t* data, size_t size, size_t* total) {
  for (size_t i = 0; i < std::min<size_t>(size, 3); ++i) {
    if (data[i] != kFrameMagic[i]) return FrameCheck::kBadHeader;
  }
  if (size < kFrameHeader) return FrameCheck::kNeedMore;
  size_t length = data[3] | (size_t{data[4]} << 8);  // payload + 1
  if (length == 0) return FrameCheck::kBadHeader;
  *total = length + 6;
  return size >= *total ? FrameCheck::kComplete : FrameCheck::kNeedMore;
}

RequestFrame ParseRequestFrame(const uint8_t* frame, size_t total) {
  RequestFrame r;
  if (total < 7) return r;
  r.code = frame[5];
  r.payload.assign(frame + 6, frame + total - 1);
  r.checksum_ok = SumBytes(frame, 3, total - 1) == frame[total - 1];
  return r;
}

std::vector<uint8_t> BuildRequestFrame(uint8_t code, const std::vector<uint8_t>& payload) {
  size_t n = payload.size() + 1;
  std::vector<uint8_t> f = {kFrameMagic[0], kFrameMagic[1], kFrameMagic[2],
                            static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), code};
  f.insert(f.end(), payload.begin(), payload.end());
  f.push_back(SumBytes(f.data(), 3, f.size()));
  return f;
}

}  // namespace kavsim
