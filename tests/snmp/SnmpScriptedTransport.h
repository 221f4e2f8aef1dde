// A library object attached to the shared scripted transport, for the MIB
// proxy tests: Attach sees a RAID (or JBOD) subsystem, and the payload of
// every SNMP command (30) goes to a script, which gives the reply body or a
// transport failure. Other commands are answered "not available".
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "library/commands/CKavlib.h"
#include "tests/snmp/SnmpTestBytes.h"
#include "tests/support/ScriptedTransport.h"

class ScriptedController {
 public:
  // What the controller does with one SNMP request: the reply body, or a
  // negative transport result in failure.
  struct Reply {
    Bytes body;
    int failure = 0;
  };
  using Script = std::function<Reply(const Bytes& request)>;

  explicit ScriptedController(bool jbod = false) {
    transport = kavtest::AttachScripted(library, kavtest::SystemInfo(),
                                        jbod ? "Kavor JBOD Subsystem" : "Kavor RAID Subsystem",
                                        &attach_status);
    transport->SetResponder([this](const kavtest::SentExchange& sent) {
      if (sent.code() != 30 || !m_Script) return kavtest::ScriptedReply::Status('H');
      const Reply reply = m_Script(sent.payload());
      if (reply.failure < 0) return kavtest::ScriptedReply::Result(reply.failure);
      return kavtest::ScriptedReply::Frame(reply.body);
    });
  }
  ScriptedController(const ScriptedController&) = delete;
  ScriptedController& operator=(const ScriptedController&) = delete;

  void SetScript(Script script) { m_Script = std::move(script); }
  // The payloads of the SNMP commands sent so far.
  std::vector<Bytes> SnmpRequests() const {
    std::vector<Bytes> out;
    for (const auto& sent : transport->Sent()) {
      if (sent.code() == 30) out.push_back(sent.payload());
    }
    return out;
  }

  CKavlib library;
  kavtest::ScriptedTransport* transport = nullptr;  // owned by library
  int attach_status = -1;

 private:
  Script m_Script;
};
