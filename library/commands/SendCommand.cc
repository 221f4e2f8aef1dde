// The command transaction: framing, one transport exchange, reply validation
// and the mapping of transport results and controller status letters to
// library status codes.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "library/commands/CKavlib.h"
#include "library/commands/CommandCodes.h"
#include "library/transport/ScratchBuffer.h"

namespace kavcmd {

bool AllowedOnJbod(uint8_t code) {
  switch (code) {
    case kCmdPrefixedText16:
    case kCmdKeyedText17:
    case kCmdKeyedText18:
    case kCmdSubsystemInfo:
    case kCmd21:
    case kCmdKeyedValue23:
    case kCmdSystemInfo:
    case kCmdName50:
    case kCmdPassThrough:
    case kCmd239:
      return true;
    default:
      return false;
  }
}

int StatusForTransportResult(int result) {
  switch (result) {
    case kTransportNotWritten:
      return KAV_WRITE_TIMEOUT;
    case kTransportNoReply:
      return KAV_REPLY_TIMEOUT;
    case kTransportResult3:
    case kTransportResult5:
      return KAV_TRANSPORT_FAILED;
    case kTransportReadFailed:
      return KAV_READ_FAILED;
    case kTransportResult9:
      return KAV_TRANSPORT_RESULT_9;
    default:
      return KAV_TRANSPORT_OTHER;
  }
}

int StatusForLetter(uint8_t letter) {
  if (letter == 'A') return KAV_OK;
  if (letter == 'M') return KAV_STATUS_M;
  return letter;  // 'H' is 72, "not available"; the others keep their character code
}

}  // namespace kavcmd

using namespace kavcmd;

static_assert(kReplyBufferSize == static_cast<int>(ScratchBuffer::kSize));

namespace {

// Frames up to the largest any operation builds (a 2005-byte data block) are
// built on the stack.
constexpr int kSmallFrame = 2048 + kFrameOverhead;

uint32_t TimeoutFor(uint8_t code) {
  if (code == kCmdSystemInfo || code == kCmd48) return kShortTimeoutMs;
  if (code == kCmd54) return 0;
  return kDefaultTimeoutMs;
}

}  // namespace

uint8_t FrameChecksum(const uint8_t* frame, int length) {
  unsigned sum = 0;
  if (frame == nullptr) return 0;
  for (int i = 3; i <= length - 2; ++i) sum += frame[i];
  return static_cast<uint8_t>(sum);
}

int FrameLength(uint8_t* received, int count) {
  if (count < 6 || received == nullptr) return -1;
  if (received[0] != kFrameLead0 || received[1] != kFrameLead1 || received[2] != kFrameLead2) {
    return -2;
  }
  if (received[3] == 0xFF && received[4] == 0xFF) {
    // Extended form: the 24-bit length sits in bytes 5 to 7. It cannot be told
    // before those bytes are in, and the "HTTP" marker is put over bytes 5 to 8
    // only once they have arrived, so a later read cannot overwrite it.
    if (count < 8) return -1;
    const int length = received[5] | (received[6] << 8) | (received[7] << 16);
    if (count < 9 && length + 6 > count) return -1;
    static constexpr uint8_t kMarker[4] = {'H', 'T', 'T', 'P'};
    for (int i = 0; i < 4 && 5 + i < count; ++i) received[5 + i] = kMarker[i];
    return length + 6;
  }
  return received[3] + 256 * received[4] + 6;
}

bool ValidateFrame(const uint8_t* reply, int count) {
  if (reply == nullptr || count < 6) return false;
  if (reply[0] != kFrameLead0 || reply[1] != kFrameLead1 || reply[2] != kFrameLead2) return false;
  const int length = reply[3] | (reply[4] << 8);
  if (length > count - 6) return false;
  unsigned sum = 0;
  for (int i = 3; i <= length + 4; ++i) sum += reply[i];
  return static_cast<uint8_t>(sum) == reply[length + 5];
}

int CKavlib::SendCommand(uint8_t code, const uint8_t* payload, int payload_length, uint8_t* reply,
                         int capacity, int* reply_length) {
  int ignored_length = 0;
  if (reply_length == nullptr) reply_length = &ignored_length;
  if (m_pTransport == nullptr) return KAV_NO_TRANSPORT;
  if (m_nJbod != 0 && !AllowedOnJbod(code)) return KAV_NOT_AVAILABLE;
  // The request must fit the request buffer, with its framing unless it goes unframed.
  const int limit = code == kCmdPassThrough ? kRequestBufferSize : kRequestBufferSize - kFrameOverhead;
  if (payload_length < 0 || payload_length > limit) return KAV_INVALID_ARGUMENT;
  if (code == kCmdPassThrough && payload == nullptr && payload_length > 0) {
    return KAV_INVALID_ARGUMENT;
  }

  TransferRequest request;
  request.timeout = TimeoutFor(code);
  if (code == kCmdWebFrame) request.flags |= kFlagWebFrame;
  if (ControllerKind() == 3) request.flags |= kFlagKind3;

  // Only the frame itself is ever sent, so the request needs no more room than
  // its frame. The reply area is zero-filled: when the transport gives up on a
  // reply it reports a count without copying, and the zeros are what is
  // checked then.
  uint8_t small_frame[kSmallFrame];
  std::vector<uint8_t> large_frame;
  std::optional<ScratchBuffer> reply_buffer;
  *reply_length = 0;

  if (code == kCmdPassThrough) {
    request.request = payload;
    request.request_length = payload_length;
    request.reply = reply;
    request.reply_capacity = reply == nullptr ? 0 : std::max(capacity, 0);
  } else {
    const int frame_length = payload_length + kFrameOverhead;
    uint8_t* frame = small_frame;
    if (frame_length > kSmallFrame) {
      large_frame.resize(static_cast<size_t>(frame_length));
      frame = large_frame.data();
    }
    reply_buffer.emplace();
    if (!*reply_buffer) return KAV_NO_REPLY_BUFFER;
    std::memset(reply_buffer->get(), 0, kReplyBufferSize);
    const int length_field = payload_length + 1;
    frame[0] = kFrameLead0;
    frame[1] = kFrameLead1;
    frame[2] = kFrameLead2;
    frame[3] = static_cast<uint8_t>(length_field);
    frame[4] = static_cast<uint8_t>(length_field >> 8);
    frame[5] = code;
    if (payload != nullptr && payload_length != 0) {
      std::memcpy(frame + 6, payload, static_cast<size_t>(payload_length));
    } else {
      std::memset(frame + 6, 0, static_cast<size_t>(payload_length));
    }
    frame[frame_length - 1] = FrameChecksum(frame, frame_length);
    request.request = frame;
    request.request_length = frame_length;
    request.reply = reply_buffer->get();
    request.reply_capacity = kReplyBufferSize;
  }
  request.frame_length = &FrameLength;
  request.checksum = &FrameChecksum;

  int result;
  do {
    result = m_pTransport->Transact(request);
  } while (result == kTransportRetry);

  if (result < 0) return StatusForTransportResult(result);
  // A transport that claims more bytes than the reply buffer holds has broken the exchange.
  if (result > request.reply_capacity) return KAV_TRANSPORT_OTHER;
  if (code == kCmdPassThrough) {
    *reply_length = result;
    return KAV_OK;
  }

  const uint8_t* frame = reply_buffer->get();
  if (result < 6) return KAV_READ_FAILED;
  if (!ValidateFrame(frame, result)) return code == kCmd54 ? KAV_OK : KAV_BAD_FRAME;
  if (result == 7 && code != kCmdEventPointer && frame[5] >= 'A' && frame[5] <= 'T') {
    return StatusForLetter(frame[5]);
  }
  const int body = result - 6;
  *reply_length = body;
  if (body > capacity || (body > 0 && reply == nullptr)) return KAV_REPLY_TOO_LARGE;
  if (body > 0) std::memcpy(reply, frame + kFrameHeader, static_cast<size_t>(body));
  return KAV_OK;
}
