// The abstract controller transport: one request/reply exchange with one
// controller, knowing nothing of the command frame.
//
// The order of the virtual operations is part of the library's binary
// interface (CKavlib::Attach accepts a KavInterface made by another program):
// destructor, Write, Read, Transact, GetMaxChunk, GetHandle, Lock, Unlock,
// GetStatus. (Under the Itanium C++ ABI used on Linux the destructor occupies
// two table entries, complete and deleting; the order of the rest is kept.)
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// Tells from the bytes received so far how long the whole reply is: the total
// length once it can be told, -1 while more bytes are needed, any other
// negative value to give up. May rewrite received bytes (the extended reply
// form has its first body bytes replaced).
using FrameLengthFunction = int (*)(uint8_t* received, int count);
// The 8-bit checksum of a frame of the given length.
using FrameChecksumFunction = uint8_t (*)(const uint8_t* frame, int length);

// One exchange, as the library describes it to the transport. Write and Read
// use only the request (Write) or reply (Read) fields, which then describe one
// chunk.
struct TransferRequest {
  uint32_t timeout = 0;  // milliseconds of silence tolerated while writing or reading
  uint32_t flags = 0;    // set by the library; the miniport transport ignores them
  const uint8_t* request = nullptr;
  int32_t request_length = 0;
  uint8_t* reply = nullptr;
  int32_t reply_capacity = 0;
  FrameLengthFunction frame_length = nullptr;
  FrameChecksumFunction checksum = nullptr;
};

// Results of Transact besides n >= 0 (the reply length).
enum TransportResult : int {
  kTransportReadFailed = -2,
  kTransportResult3 = -3,
  kTransportRetry = -4,
  kTransportResult5 = -5,
  kTransportNoReply = -7,
  kTransportNotWritten = -8,
  kTransportResult9 = -9,
};

class KavInterface {
 public:
  KavInterface() = default;
  KavInterface(const KavInterface&) = delete;
  KavInterface& operator=(const KavInterface&) = delete;

  virtual ~KavInterface() = default;
  virtual int Write(TransferRequest& request) = 0;
  virtual int Read(TransferRequest& request) = 0;
  virtual int Transact(TransferRequest& request) = 0;
  virtual int GetMaxChunk() = 0;
  virtual HANDLE GetHandle() = 0;
  virtual void Lock() {}
  virtual void Unlock() {}
  virtual int GetStatus() { return 1; }

  // Set to 60 by WinIoctlInterface's constructor and by CKavlib::Attach; kept
  // for programs built against the table, read by nothing here.
  int32_t m_nTimeout = 0;
};
