// Scripted transports and frame builders for the library's tests.
#include "tests/support/ScriptedTransport.h"

#include <algorithm>
#include <cstring>

namespace kavtest {

namespace {

uint8_t SumFrom3(const Bytes& frame, size_t end) {
  unsigned sum = 0;
  for (size_t i = 3; i < end; ++i) sum += frame[i];
  return static_cast<uint8_t>(sum);
}

}  // namespace

Bytes CommandFrame(uint8_t code, const Bytes& payload) {
  const size_t length = payload.size() + 1;
  Bytes frame = {0x5E, 0x01, 0x61, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                 code};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(SumFrom3(frame, frame.size()));
  return frame;
}

Bytes ReplyFrame(const Bytes& body) {
  Bytes frame = {0x5E, 0x01, 0x61, static_cast<uint8_t>(body.size()),
                 static_cast<uint8_t>(body.size() >> 8)};
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(SumFrom3(frame, frame.size()));
  return frame;
}

Bytes StatusReply(char letter) { return ReplyFrame({static_cast<uint8_t>(letter)}); }

Bytes ExtendedReply(const Bytes& body_after_length, uint32_t announced) {
  Bytes frame = {0x5E, 0x01, 0x61, 0xFF, 0xFF, static_cast<uint8_t>(announced),
                 static_cast<uint8_t>(announced >> 8), static_cast<uint8_t>(announced >> 16)};
  frame.insert(frame.end(), body_after_length.begin(), body_after_length.end());
  frame.push_back(0);
  return frame;
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes SentExchange::payload() const {
  if (request.size() < 7) return {};
  return Bytes(request.begin() + 6, request.end() - 1);
}

int ChunkScript::PlayWrite(const TransferRequest& chunk) {
  ++write_attempts;
  if (!Locked()) locked_during_io = false;
  int result = chunk.request_length;
  if (!write_results.empty()) {
    result = write_results.front();
    write_results.pop_front();
  }
  if (result > 0) {
    result = std::min(result, chunk.request_length);
    written.emplace_back(chunk.request, chunk.request + result);
  }
  return result;
}

int ChunkScript::PlayRead(TransferRequest& chunk) {
  ++read_attempts;
  if (!Locked()) locked_during_io = false;
  read_capacities.push_back(chunk.reply_capacity);
  bool fail = false;
  if (!read_failures.empty()) {
    fail = read_failures.front();
    read_failures.pop_front();
  }
  if (fail) return -1;
  if (read_chunks.empty()) return 0;
  Bytes& waiting = read_chunks.front();
  // Like the driver, hand out at most what the caller has room for and keep the rest.
  const size_t count = std::min(waiting.size(), static_cast<size_t>(std::max(chunk.reply_capacity, 0)));
  if (count > 0) std::memcpy(chunk.reply, waiting.data(), count);
  waiting.erase(waiting.begin(), waiting.begin() + static_cast<long>(count));
  if (waiting.empty()) read_chunks.pop_front();
  return static_cast<int>(count);
}

ScriptedTransport::~ScriptedTransport() {
  if (m_deleted != nullptr) *m_deleted = true;
}

int ScriptedTransport::Transact(TransferRequest& request) {
  Lock();
  SentExchange sent;
  if (request.request != nullptr && request.request_length > 0) {
    sent.request.assign(request.request, request.request + request.request_length);
  }
  sent.timeout = request.timeout;
  sent.flags = request.flags;
  sent.reply_capacity = request.reply_capacity;
  sent.has_frame_functions = request.frame_length != nullptr && request.checksum != nullptr;
  m_sent.push_back(sent);

  ScriptedReply reply = ScriptedReply::Result(kTransportNoReply);
  if (!m_queue.empty()) {
    reply = std::move(m_queue.front());
    m_queue.pop_front();
  } else if (m_responder) {
    reply = m_responder(m_sent.back());
  }

  int result = reply.result;
  if (result >= 0 && !reply.bytes.empty()) {
    // As the miniport transport completes an exchange: the frame-length function
    // sees the whole reply at once, a reply beyond the capacity copies nothing.
    Bytes received = reply.bytes;
    const int count = static_cast<int>(received.size());
    int told = count;
    if (request.frame_length != nullptr) {
      received.resize(std::max<size_t>(received.size(), 16));
      told = request.frame_length(received.data(), count);
    }
    if (told < -1) {
      result = count;
    } else if (told == -1 && count < 6) {
      result = kTransportNoReply;
    } else if (count > request.reply_capacity) {
      result = 0;
    } else {
      if (count > 0) std::memcpy(request.reply, received.data(), static_cast<size_t>(count));
      result = count;
    }
  }
  Unlock();
  return result;
}

Bytes SystemInfo(uint8_t kind, uint32_t event_slots) {
  Bytes info(kSystemInfoSize, 0);
  info[kSysInfoKind] = kind;
  std::memcpy(info.data() + kSysInfoEventSlots, &event_slots, 4);
  return info;
}

ScriptedTransport* AttachScripted(CKavlib& library, const Bytes& system_info,
                                  const std::string& subsystem, int* status) {
  auto* transport = new ScriptedTransport();
  Bytes record = ToBytes(subsystem);
  record.resize(64, 0);
  transport->QueueFrame(record);
  transport->QueueFrame(system_info);
  const int result = library.Attach(transport);
  if (status != nullptr) *status = result;
  transport->ClearSent();
  return transport;
}

}  // namespace kavtest
