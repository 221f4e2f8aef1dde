// The controller's data area (command 24, block by block) and the web
// pass-through (command-22 frames sent unframed with command 238).
#include <algorithm>
#include <cstring>
#include <vector>

#include "library/commands/CKavlib.h"
#include "library/commands/CommandCodes.h"
#include "library/transport/ScratchBuffer.h"
#include "platform/threads.h"

using namespace kavcmd;

namespace {

constexpr int kDataBlockSize = 2000;
constexpr uint8_t kBlockKey[4] = {0x55, 0xAA, 0xA5, 0x5A};
constexpr uint8_t kClearingPayload[5] = {0xFF, 0x55, 0xAA, 0xA5, 0x5A};
constexpr int kWebPiece = 1024;

int WriteDataBlock(CKavlib& library, int block, const uint8_t* bytes, int count) {
  uint8_t payload[5 + kDataBlockSize];
  payload[0] = static_cast<uint8_t>(block);
  std::memcpy(payload + 1, kBlockKey, sizeof(kBlockKey));
  std::memcpy(payload + 5, bytes, static_cast<size_t>(count));
  uint8_t reply[kCommandReplyArea] = {};
  int reply_length = 0;
  return library.SendCommand(kCmdDataArea, payload, count + 5, reply, sizeof(reply), &reply_length);
}

}  // namespace

int CKavlib::WriteDataArea(const uint8_t* data, int length) {
  const int blocks = ControllerKind() == 3 ? 32 : 4;
  if (data == nullptr) {
    for (int i = 0; i < blocks; ++i) {
      uint8_t reply[kCommandReplyArea] = {};
      int reply_length = 0;
      const int status = SendCommand(kCmdDataArea, kClearingPayload, sizeof(kClearingPayload),
                                     reply, sizeof(reply), &reply_length);
      if (status != KAV_OK) return status;
      Sleep(m_nDataBlockPauseMs);
    }
    return KAV_OK;
  }

  if (length < 0 || length > blocks * kDataBlockSize - 2) return KAV_INVALID_ARGUMENT;
  std::vector<uint8_t> image(static_cast<size_t>(blocks) * kDataBlockSize, 0);
  image[0] = static_cast<uint8_t>(length);
  image[1] = static_cast<uint8_t>(length >> 8);
  std::memcpy(image.data() + 2, data, static_cast<size_t>(length));
  for (int i = 0; i < blocks; ++i) {
    const int status = WriteDataBlock(*this, i, image.data() + kDataBlockSize * i, kDataBlockSize);
    if (status != KAV_OK) return status;
    Sleep(m_nDataBlockPauseMs);
  }
  return KAV_OK;
}

int CKavlib::WebPassThrough(const uint8_t* request, int length, uint8_t* response,
                            int* response_length) {
  if (m_pTransport == nullptr) return KAV_NO_TRANSPORT;
  if (request == nullptr || length <= 0 || response == nullptr || response_length == nullptr) {
    return KAV_INVALID_ARGUMENT;
  }
  const int frames = (length + kWebPiece - 1) / kWebPiece;
  // The stream must fit the request buffer of one exchange.
  if (length > kRequestBufferSize - kFrameOverhead * frames) return KAV_INVALID_ARGUMENT;
  const int stream_length = length + kFrameOverhead * frames;

  // Zero-filled: a reply the transport gave up on is reported without being
  // copied, and then zeros are what is handed back.
  ScratchBuffer receive;
  if (!receive) return KAV_NO_RECEIVE_BUFFER;
  std::memset(receive.get(), 0, ScratchBuffer::kSize);
  *response_length = 0;

  // The frames lie back to back, so each full one is exactly one miniport write.
  std::vector<uint8_t> stream(static_cast<size_t>(stream_length));
  int offset = 0;
  for (int piece = 0; piece < length; piece += kWebPiece) {
    const int size = std::min(kWebPiece, length - piece);
    uint8_t* frame = stream.data() + offset;
    frame[0] = kFrameLead0;
    frame[1] = kFrameLead1;
    frame[2] = kFrameLead2;
    frame[3] = static_cast<uint8_t>(size + 1);
    frame[4] = static_cast<uint8_t>((size + 1) >> 8);
    frame[5] = kCmdWebFrame;
    std::memcpy(frame + 6, request + piece, static_cast<size_t>(size));
    frame[size + 6] = FrameChecksum(frame, size + kFrameOverhead);
    offset += size + kFrameOverhead;
  }

  int received = 0;
  const int status = SendCommand(kCmdPassThrough, stream.data(), stream_length, receive.get(),
                                 kReplyBufferSize, &received);
  if (status != KAV_OK) return status;
  // Too short to hold a header and a final byte (this includes a reply that did
  // not fit the receive buffer, which arrives as 0 bytes).
  if (received < 6) return KAV_READ_FAILED;
  *response_length = received - 6;
  std::memcpy(response, receive.get() + kFrameHeader, static_cast<size_t>(received - 6));
  return KAV_OK;
}
