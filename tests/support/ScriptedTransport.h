// Test doubles for the controller transport: a KavInterface that records every
// exchange the library starts and plays back scripted replies, a miniport
// transport whose Write and Read play a chunk script (for the exchange loop),
// and helpers that build frames and attach a library object to a script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "library/commands/CKavlib.h"
#include "library/transport/KavInterface.h"
#include "library/transport/WinIoctlInterface.h"

namespace kavtest {

using Bytes = std::vector<uint8_t>;

// ---- frames ------------------------------------------------------------------
// A command frame as the library sends it: 5E 01 61, n+1, code, payload, sum.
Bytes CommandFrame(uint8_t code, const Bytes& payload = {});
// A reply frame carrying body, with a correct checksum.
Bytes ReplyFrame(const Bytes& body);
// The 7-byte status reply with one letter as body.
Bytes StatusReply(char letter);
// The extended reply form: FF FF, a 24-bit length, then body bytes (the first
// three of which the length occupies) and a final byte.
Bytes ExtendedReply(const Bytes& body_after_length, uint32_t announced);
Bytes ToBytes(const std::string& text);

// ---- the chunk script --------------------------------------------------------
// What successive Write and Read calls answer. An exhausted write script accepts
// every chunk; an exhausted read script reports that nothing is waiting.
struct ChunkScript {
  std::deque<int> write_results;   // per Write: >0 accept, 0 refuse, <0 call failed
  std::deque<Bytes> read_chunks;   // per Read: the bytes waiting (empty = none)
  std::deque<bool> read_failures;  // per Read, consumed alongside read_chunks: true = call failed

  std::vector<Bytes> written;            // every accepted chunk, in order
  int write_attempts = 0;
  int read_attempts = 0;
  std::vector<int> read_capacities;      // the capacity each Read was given
  int locks = 0;
  int unlocks = 0;
  bool locked_during_io = true;          // false once a Write or Read ran unlocked

  int PlayWrite(const TransferRequest& chunk);
  int PlayRead(TransferRequest& chunk);
  bool Locked() const { return locks > unlocks; }
};

// ---- the scripted transport -------------------------------------------------
struct SentExchange {
  Bytes request;
  uint32_t timeout = 0;
  uint32_t flags = 0;
  int32_t reply_capacity = 0;
  bool has_frame_functions = false;
  uint8_t code() const { return request.size() > 5 ? request[5] : 0; }
  Bytes payload() const;  // the payload of a command frame
};

// One scripted answer to Transact: reply bytes (run through the request's
// frame-length function and capacity check as the miniport transport does), or,
// without bytes, the transport result itself (negative, or a count with
// nothing copied).
struct ScriptedReply {
  int result = 0;  // used when `bytes` is empty
  Bytes bytes;
  static ScriptedReply Frame(const Bytes& body) { return {0, ReplyFrame(body)}; }
  static ScriptedReply Raw(Bytes bytes) { return {0, std::move(bytes)}; }
  static ScriptedReply Status(char letter) { return {0, StatusReply(letter)}; }
  static ScriptedReply Result(int result) { return {result, {}}; }
};

class ScriptedTransport : public KavInterface {
 public:
  using Responder = std::function<ScriptedReply(const SentExchange&)>;

  ScriptedTransport() = default;
  ~ScriptedTransport() override;

  // Queued replies answer first, in order; then the responder; with neither,
  // Transact reports that no reply came (-7).
  void Queue(ScriptedReply reply) { m_queue.push_back(std::move(reply)); }
  void QueueFrame(const Bytes& body) { Queue(ScriptedReply::Frame(body)); }
  void SetResponder(Responder responder) { m_responder = std::move(responder); }
  void SetMaxChunk(int chunk) { m_max_chunk = chunk; }
  // Set to true when the transport is deleted (the library owns it).
  void SetDeletedFlag(bool* flag) { m_deleted = flag; }

  const std::vector<SentExchange>& Sent() const { return m_sent; }
  void ClearSent() { m_sent.clear(); }
  ChunkScript& Chunks() { return m_chunks; }

  int Write(TransferRequest& request) override { return m_chunks.PlayWrite(request); }
  int Read(TransferRequest& request) override { return m_chunks.PlayRead(request); }
  int Transact(TransferRequest& request) override;
  int GetMaxChunk() override { return m_max_chunk; }
  HANDLE GetHandle() override { return nullptr; }
  void Lock() override { ++m_chunks.locks; }
  void Unlock() override { ++m_chunks.unlocks; }

 private:
  std::deque<ScriptedReply> m_queue;
  Responder m_responder;
  std::vector<SentExchange> m_sent;
  ChunkScript m_chunks;
  int m_max_chunk = kMiniportMaxChunk;
  bool* m_deleted = nullptr;
};

// The real miniport exchange loop (WinIoctlInterface::Transact) over scripted
// Write and Read calls; the object stays closed, so the preparatory control
// calls go nowhere.
class ScriptedWinIoctl : public WinIoctlInterface {
 public:
  ChunkScript& Chunks() { return m_chunks; }
  int Write(TransferRequest& request) override { return m_chunks.PlayWrite(request); }
  int Read(TransferRequest& request) override { return m_chunks.PlayRead(request); }
  void Lock() override { ++m_chunks.locks; }
  void Unlock() override { ++m_chunks.unlocks; }

 private:
  ChunkScript m_chunks;
};

// ---- attaching a library object to a script ---------------------------------
// A 256-byte system information record with the given kind and event slots.
Bytes SystemInfo(uint8_t kind = 0, uint32_t event_slots = 128);

// Attaches `library` to a new scripted transport that answers command 19 with
// `subsystem` and command 35 with `system_info`, and clears the record of those
// exchanges. Returns the transport (owned by the library), and the Attach
// status in *status when given.
ScriptedTransport* AttachScripted(CKavlib& library, const Bytes& system_info,
                                  const std::string& subsystem = "Kavor RAID Subsystem",
                                  int* status = nullptr);

}  // namespace kavtest

// Reaches the library object's private state in tests.
class CKavlibTestAccess {
 public:
  static void SetDataBlockPause(CKavlib& library, uint32_t ms) { library.m_nDataBlockPauseMs = ms; }
  static int PreviousEventPointer(const CKavlib& library) { return library.m_nPrevEventPointer; }
  static int CurrentEventPointer(const CKavlib& library) { return library.m_nCurEventPointer; }
  static int NewEventCount(const CKavlib& library) { return library.m_nNewEventCount; }
  static void SetPreviousEventPointer(CKavlib& library, int value) {
    library.m_nPrevEventPointer = value;
  }
  static int EventRingPages(const CKavlib& library) { return library.m_nEventRingPages; }
  static int MaxChunk(const CKavlib& library) { return library.m_nMaxChunk; }
  static uint8_t* SystemInfo(CKavlib& library) { return library.m_SystemInfo; }
};
