// The firmware's SNMP engine: takes an encoded SNMPv1 GetRequest or
// GetNextRequest and returns the encoded GetResponse, both through Net-SNMP.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/model/FirmwareState.h"

namespace kavsim {

enum class SnmpOutcome { kAnswered, kUndecodable, kWrongCommunity };

struct SnmpResult {
  SnmpOutcome outcome = SnmpOutcome::kUndecodable;
  std::vector<uint8_t> response;  // set when answered
};

// Answers stay below this size whatever the request asked for.
inline constexpr size_t kMaxSnmpResponse = 900;

SnmpResult AnswerSnmp(const FirmwareState& state, const uint8_t* request, size_t size);

}  // namespace kavsim
