// Every value object has one owner: building and decoding message trees and
// deleting them leaves no allocation behind, and AddressSanitizer reports a
// second delete. This program counts the allocations it makes by replacing
// the global operator new and delete, so it runs on its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "library/snmp/BerElement.h"
#include "library/snmp/SNMPInteger.h"
#include "library/snmp/SNMPObjectIdentifier.h"
#include "library/snmp/SNMPOctetString.h"
#include "library/snmp/SNMPPDU.h"
#include "tests/snmp/SnmpSeedMessages.h"

namespace {
std::atomic<long> g_nLiveAllocations{0};

void* CountedAllocate(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  ++g_nLiveAllocations;
  return p;
}

void CountedFree(void* p) {
  if (p == nullptr) return;
  --g_nLiveAllocations;
  std::free(p);
}
}  // namespace

void* operator new(size_t size) { return CountedAllocate(size); }
void* operator new[](size_t size) { return CountedAllocate(size); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, size_t) noexcept { CountedFree(p); }

namespace {

TEST(SnmpOwnership, DecodedTreesAreFreedCompletely) {
  const auto messages = SeedMessages();
  for (const auto& [name, bytes] : messages) {
    const long before = g_nLiveAllocations.load();
    {
      ByteBuffer source(static_cast<int32_t>(bytes.size()));
      Fill(source, bytes);
      BerElement outer;
      ReadElement(source, 0, outer);
      auto message = std::make_unique<SNMPMessage>(outer.content);
      ASSERT_EQ(message->GetCount(), 3) << name;
      EXPECT_GT(g_nLiveAllocations.load(), before + 10) << name;
    }
    EXPECT_EQ(g_nLiveAllocations.load(), before) << name;
  }
}

TEST(SnmpOwnership, TreesBuiltFromValuesAreFreedCompletely) {
  const long before = g_nLiveAllocations.load();
  {
    auto list = std::make_unique<SNMPSequence>();
    for (int i = 0; i < 3; ++i) {
      list->Add(std::make_unique<SNMPVariablePair>(
          std::make_unique<SNMPObjectIdentifier>("1.3.6.1.4.1.47319.1.1.3.1"),
          std::make_unique<SNMPOctetString>("value")));
    }
    list->Add(nullptr);
    SNMPMessage message(0, "public", std::make_unique<SNMPPDU>(0xA1, 1, 0, 0, std::move(list)));
    EncodeToBytes(message);
  }
  EXPECT_EQ(g_nLiveAllocations.load(), before);
}

}  // namespace
