// Fuzz target: arbitrary control calls and request bytes against a simulated
// controller, and arbitrary messages for its SNMP engine. Nothing may read or
// write outside a buffer whatever the host sends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "sim/Simulator.h"
#include "sim/snmp/SnmpEngine.h"

namespace {

kavsim::Controller& Target() {
  static std::unique_ptr<kavsim::Simulator> sim = [] {
    snmp_disable_log();  // Net-SNMP reports every bad message on stderr
    std::string error;
    return kavsim::Simulator::LoadText(
        R"({"controllers": [{"port": 0, "event_slots": 32,
            "raid_sets": [{"members": [0]}], "volumes": [{"raid_set": 0}],
            "disks": [{"number": 0, "state": "member", "raid_set": 0}]}]})",
        &error);
  }();
  return *sim->At(0);
}

constexpr uint32_t kCodes[] = {kavsim::miniport::kRead, kavsim::miniport::kWrite,
                               kavsim::miniport::kPrepareFirst, kavsim::miniport::kPrepareSecond,
                               kavsim::miniport::kProbe};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavsim::Controller& c = Target();
  // Whole input as one SNMP message.
  kavsim::FirmwareState* state = nullptr;
  c.WithState([&state](kavsim::FirmwareState& s) { state = &s; });
  kavsim::AnswerSnmp(*state, data, size);

  // Then as a sequence of control calls: selector, length byte pair, bytes.
  size_t at = 0;
  std::vector<uint8_t> block, out;
  while (at + 3 <= size) {
    uint8_t sel = data[at];
    size_t n = data[at + 1] | (size_t{data[at + 2]} << 8);
    at += 3;
    n = std::min(n, size - at);
    block.assign(kavsim::miniport::kHeaderLength, 0);
    block[0] = 28;
    std::memcpy(block.data() + 4, "KAVMSR", 6);
    uint32_t code = kCodes[sel % 5];
    if (sel & 0x80) code = static_cast<uint32_t>(sel) << 24;  // nonsense codes too
    for (int i = 0; i < 4; ++i) block[16 + i] = static_cast<uint8_t>(code >> (8 * i));
    uint32_t length = static_cast<uint32_t>(sel & 0x40 ? 1031 : n);
    for (int i = 0; i < 4; ++i) block[24 + i] = static_cast<uint8_t>(length >> (8 * i));
    block.insert(block.end(), data + at, data + at + n);
    at += n;
    out.assign(sel & 0x20 ? 40 : kavsim::miniport::kBlockSize, 0);
    size_t returned = 0;
    c.HandleControl(block.data(), block.size(), out.data(), out.size(), &returned);
    if (returned > out.size()) __builtin_trap();
  }
  return 0;
}
