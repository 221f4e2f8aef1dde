// A controller transport for the MIB proxy tests: it answers the commands of
// Attach (subsystem record, system information) itself and hands the payload
// of every SNMP command (30) to a script, which gives the reply body or a
// transport failure. It records the payloads it was sent.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/commands/CKavlib.h"
#include "library/transport/KavInterface.h"
#include "tests/snmp/SnmpTestBytes.h"

class SnmpScriptedTransport : public KavInterface {
 public:
  // What the controller does with one SNMP request: the reply body, or a
  // negative transport result in failure.
  struct Reply {
    Bytes body;
    int failure = 0;
  };
  using Script = std::function<Reply(const Bytes& request)>;

  explicit SnmpScriptedTransport(bool jbod = false) : m_bJbod(jbod) {}

  void SetScript(Script script) { m_Script = std::move(script); }
  const std::vector<Bytes>& SnmpRequests() const { return m_SnmpRequests; }

  int Write(TransferRequest&) override { return kTransportReadFailed; }
  int Read(TransferRequest&) override { return kTransportReadFailed; }
  int GetMaxChunk() override { return 1031; }
  HANDLE GetHandle() override { return nullptr; }

  int Transact(TransferRequest& request) override {
    if (request.request == nullptr || request.request_length < 7) return kTransportReadFailed;
    const uint8_t code = request.request[5];
    const Bytes payload(request.request + 6, request.request + request.request_length - 1);
    Reply reply;
    if (code == 19) {
      const char* name = m_bJbod ? "Kavor JBOD Subsystem" : "Kavor RAID Subsystem";
      reply.body = Bytes(44, 0);
      std::memcpy(reply.body.data(), name, 20);
    } else if (code == 35) {
      reply.body = Bytes(256, 0);
      reply.body[148] = 64;  // event slots
    } else if (code == 30) {
      m_SnmpRequests.push_back(payload);
      reply = m_Script ? m_Script(payload) : Reply{};
    } else {
      reply.body = {'H'};  // not available
    }
    if (reply.failure < 0) return reply.failure;
    const Bytes frame = Frame(reply.body);
    if (static_cast<int>(frame.size()) > request.reply_capacity) return kTransportReadFailed;
    std::memcpy(request.reply, frame.data(), frame.size());
    return static_cast<int>(frame.size());
  }

  // The controller's reply frame around a body.
  static Bytes Frame(const Bytes& body) {
    Bytes frame = {0x5E, 0x01, 0x61, static_cast<uint8_t>(body.size()),
                   static_cast<uint8_t>(body.size() >> 8)};
    frame.insert(frame.end(), body.begin(), body.end());
    unsigned sum = 0;
    for (size_t i = 3; i < frame.size(); ++i) sum += frame[i];
    frame.push_back(static_cast<uint8_t>(sum));
    return frame;
  }

 private:
  bool m_bJbod;
  Script m_Script;
  std::vector<Bytes> m_SnmpRequests;
};

// A library object attached to a scripted transport; the object owns it.
struct ScriptedController {
  explicit ScriptedController(bool jbod = false) : transport(new SnmpScriptedTransport(jbod)) {
    attach_status = library.Attach(transport);
  }
  CKavlib library;
  SnmpScriptedTransport* transport;  // owned by library
  int attach_status;
};
