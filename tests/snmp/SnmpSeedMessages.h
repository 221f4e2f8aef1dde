// The valid messages of the tests, as stored in the fuzz seed folder: GET and
// GETNEXT requests, answers of every value type, error answers and a trap.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/snmp/SnmpTestBytes.h"

#ifndef KAV_SNMP_SEEDS_DIR
#error "KAV_SNMP_SEEDS_DIR names the seed folder"
#endif

inline std::vector<std::pair<std::string, Bytes>> SeedMessages() {
  std::vector<std::pair<std::string, Bytes>> out;
  for (const auto& entry : std::filesystem::directory_iterator(KAV_SNMP_SEEDS_DIR)) {
    if (entry.path().extension() != ".ber") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    out.emplace_back(entry.path().stem().string(),
                     Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  std::sort(out.begin(), out.end());
  return out;
}
