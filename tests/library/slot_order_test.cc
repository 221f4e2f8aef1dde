// The operation table as other programs see it: slots called by index through
// the raw table of an object from AllocateCKavlib.
//
// Under the Itanium C++ ABI a class without a virtual destructor has none in
// its table, so slot i is table entry i.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "library/commands/CKavlib.h"
#include "library/commands/PendingSlots.h"
#include "tests/support/ScriptedTransport.h"

using kavtest::Bytes;
using kavtest::ScriptedReply;

namespace {

template <typename M>
struct SlotSignature;
template <typename R, typename... A>
struct SlotSignature<R (CKavlib::*)(A...)> {
  using Function = R (*)(CKavlib*, A...);
  static R CallWithDefaults(Function f, CKavlib* object) { return f(object, A{}...); }
};

// The table entry of a virtual member function, from its Itanium member pointer.
template <typename M>
std::ptrdiff_t TableIndexOf(M member) {
  struct Representation {
    std::ptrdiff_t ptr;
    std::ptrdiff_t adj;
  } rep;
  static_assert(sizeof(M) == sizeof(Representation));
  std::memcpy(&rep, &member, sizeof(rep));
  return (rep.ptr - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

void* const* Table(CKavlib* object) { return *reinterpret_cast<void* const* const*>(object); }

// Calls table entry `index` of `object` as the member function `Member`.
template <auto Member, typename... Args>
auto CallSlot(CKavlib* object, int index, Args... args) {
  using Function = typename SlotSignature<decltype(Member)>::Function;
  auto function = reinterpret_cast<Function>(Table(object)[index]);
  return function(object, args...);
}

struct SlotEntry {
  int index;
  const char* name;
  std::ptrdiff_t declared_index;
  std::function<int(CKavlib*)> call_with_defaults;
};

// Calls table entry `index` as `Member` with zero and null arguments; -1 for
// a slot that does not return a status.
template <auto Member>
int CallWithDefaults(CKavlib* object, int index) {
  using Signature = SlotSignature<decltype(Member)>;
  auto function = reinterpret_cast<typename Signature::Function>(Table(object)[index]);
  if constexpr (std::is_same_v<decltype(Signature::CallWithDefaults(function, object)), int>) {
    return Signature::CallWithDefaults(function, object);
  } else {
    return -1;
  }
}

#define SLOT(i, name) \
  SlotEntry { i, #name, TableIndexOf(&CKavlib::name), [](CKavlib* o) { return CallWithDefaults<&CKavlib::name>(o, i); } }

const SlotEntry kSlots[] = {
    SLOT(0, GetTransport),
    SLOT(1, Attach),
    SLOT(2, GetSystemInfo),
    SLOT(3, GetRaidSetInfo),
    SLOT(4, GetVolumeSetInfo),
    SLOT(5, GetDeviceInfoEx),
    SLOT(6, GetDeviceInfo),
    SLOT(7, GetHardwareMonitor),
    SLOT(8, GetHardwareMonitorRaw),
    SLOT(9, SendPrefixedText16),
    SLOT(10, SetKeyedText17),
    SLOT(11, SetKeyedText18),
    SLOT(12, GetSubsystemInfo),
    SLOT(13, CheckSubsystem),
    SLOT(14, RunCommand48),
    SLOT(15, SetOption49),
    SLOT(16, SetKeyedValue23),
    SLOT(17, WriteDataArea),
    SLOT(18, SetControllerTime),
    SLOT(19, SnmpPassThrough),
    SLOT(20, QueryMib),
    SLOT(21, SetName50),
    SLOT(22, SetOption51),
    SLOT(23, SetOption52),
    SLOT(24, SetOption53),
    SLOT(25, SetIpAddress),
    SLOT(26, SetOptions55),
    SLOT(27, SetText20),
    SLOT(28, RunCommand21),
    SLOT(29, WebPassThrough),
    SLOT(30, GetEventPointer),
    SLOT(31, ReadEvents),
    SLOT(32, GetEvent),
    SLOT(33, ClearEventLog),
    SLOT(34, CreateRaidSetEx),
    SLOT(35, CreateRaidSet),
    SLOT(36, DeleteRaidSet),
    SLOT(37, ExpandRaidSetEx),
    SLOT(38, ExpandRaidSet),
    SLOT(39, RunCommand83),
    SLOT(40, RunCommand84Ex),
    SLOT(41, RunCommand84),
    SLOT(42, RunCommand85Ex),
    SLOT(43, RunCommand85),
    SLOT(44, CreateVolumeSet),
    SLOT(45, ModifyVolumeSet),
    SLOT(46, DeleteVolumeSet),
    SLOT(47, RunCommand99),
    SLOT(48, RunCommand100),
    SLOT(49, CreatePassThroughDiskEx),
    SLOT(50, CreatePassThroughDisk),
    SLOT(51, ModifyPassThroughDiskEx),
    SLOT(52, ModifyPassThroughDisk),
    SLOT(53, DeletePassThroughDiskEx),
    SLOT(54, DeletePassThroughDisk),
    SLOT(55, RunCommand67),
    SLOT(56, RunCommand54),
    SLOT(57, WriteParameterFile),
    SLOT(58, WriteParameterData),
    SLOT(59, GetAddressRecord),
    SLOT(60, GetParamBytes),
    SLOT(61, SetParam73),
    SLOT(62, SetParam38),
    SLOT(63, SetParam75),
    SLOT(64, SetParam50),
    SLOT(65, SetParam41),
    SLOT(66, SetParam51),
    SLOT(67, SetParam76),
    SLOT(68, SetParam77),
    SLOT(69, SetParam57),
    SLOT(70, SetParam79),
    SLOT(71, SetParam78),
    SLOT(72, SetParam59),
    SLOT(73, GetMonitorUnitInfo),
    SLOT(74, GetMonitorUnitText),
    SLOT(75, GetMonitorUnitStatus),
    SLOT(76, RunCommand67Ex),
    SLOT(77, CreateVolumeSetOnRaidSets),
    SLOT(78, GetParams39),
    SLOT(79, SetParam39),
    SLOT(80, SetParams40And67),
    SLOT(81, SetParam62To66),
    SLOT(82, SetParam36),
    SLOT(83, SetParam37),
    SLOT(84, GetParams43),
    SLOT(85, SetParam43To45),
    SLOT(86, SetParam46To48),
    SLOT(87, SetParam68),
    SLOT(88, SetParam69),
    SLOT(89, SetParam71),
    SLOT(90, SetParam70),
    SLOT(91, SetParam49),
    SLOT(92, SetParam86),
    SLOT(93, SetParam87),
    SLOT(94, SetParam88To89),
    SLOT(95, GetParams88),
    SLOT(96, SetParam26),
    SLOT(97, SetParam17),
    SLOT(98, SetOption86),
};

#undef SLOT

TEST(SlotOrder, NinetyNineSlotsInTheirFixedOrder) {
  ASSERT_EQ(std::size(kSlots), 99u);
  for (int i = 0; i < 99; ++i) {
    EXPECT_EQ(kSlots[i].index, i);
    EXPECT_EQ(kSlots[i].declared_index, i) << kSlots[i].name;
  }
}

struct Deleter {
  void operator()(CKavlib* library) const { FreeCKavlib(library); }
};
using Library = std::unique_ptr<CKavlib, Deleter>;

TEST(SlotOrder, ArgumentChecksThroughTheRawTable) {
  Library owner(AllocateCKavlib());
  CKavlib* o = owner.get();
  uint8_t buffer[8192] = {};
  uint16_t values[kHardwareMonitorValues] = {};
  const std::string long41(41, 'x');
  int count = 0;
  int length = 0;

  EXPECT_EQ((CallSlot<&CKavlib::GetTransport>(o, 0)), nullptr);
  struct Case {
    int slot;
    int result;
    std::function<int()> call;
  } cases[] = {
      {1, 6, [&] { return CallSlot<&CKavlib::Attach>(o, 1, static_cast<KavInterface*>(nullptr)); }},
      {2, 6, [&] { return CallSlot<&CKavlib::GetSystemInfo>(o, 2, static_cast<uint8_t*>(nullptr)); }},
      {2, 17, [&] { return CallSlot<&CKavlib::GetSystemInfo>(o, 2, buffer); }},
      {3, 6, [&] { return CallSlot<&CKavlib::GetRaidSetInfo>(o, 3, 0, static_cast<uint8_t*>(nullptr)); }},
      {3, 17, [&] { return CallSlot<&CKavlib::GetRaidSetInfo>(o, 3, 0, buffer); }},
      {4, 6, [&] { return CallSlot<&CKavlib::GetVolumeSetInfo>(o, 4, 0, static_cast<uint8_t*>(nullptr)); }},
      {5, 6, [&] { return CallSlot<&CKavlib::GetDeviceInfoEx>(o, 5, 0, 0, static_cast<uint8_t*>(nullptr)); }},
      {6, 6, [&] { return CallSlot<&CKavlib::GetDeviceInfo>(o, 6, 0, static_cast<uint8_t*>(nullptr)); }},
      {7, 6, [&] { return CallSlot<&CKavlib::GetHardwareMonitor>(o, 7, 9, values); }},
      {7, 17, [&] { return CallSlot<&CKavlib::GetHardwareMonitor>(o, 7, 7, values); }},
      {8, 6, [&] { return CallSlot<&CKavlib::GetHardwareMonitorRaw>(o, 8, buffer); }},
      {9, 6, [&] { return CallSlot<&CKavlib::SendPrefixedText16>(o, 9, "ABCDEFGHIJKLMNOPQ"); }},
      {9, 17, [&] { return CallSlot<&CKavlib::SendPrefixedText16>(o, 9, "ABCDEFGHIJKLMNOP"); }},
      {10, 17, [&] { return CallSlot<&CKavlib::SetKeyedText17>(o, 10, "ABCDEFGHIJKLMNOPQ"); }},
      {10, 6, [&] { return CallSlot<&CKavlib::SetKeyedText17>(o, 10, long41.c_str()); }},
      {11, 6, [&] { return CallSlot<&CKavlib::SetKeyedText18>(o, 11, "123456789"); }},
      {11, 17, [&] { return CallSlot<&CKavlib::SetKeyedText18>(o, 11, "12345678"); }},
      {12, 6, [&] { return CallSlot<&CKavlib::GetSubsystemInfo>(o, 12, static_cast<uint8_t*>(nullptr)); }},
      {13, 17, [&] { return CallSlot<&CKavlib::CheckSubsystem>(o, 13); }},
      {14, 17, [&] { return CallSlot<&CKavlib::RunCommand48>(o, 14); }},
      {15, 6, [&] { return CallSlot<&CKavlib::SetOption49>(o, 15, 2); }},
      {15, 17, [&] { return CallSlot<&CKavlib::SetOption49>(o, 15, 1); }},
      {16, 6, [&] { return CallSlot<&CKavlib::SetKeyedValue23>(o, 16, static_cast<const uint8_t*>(nullptr)); }},
      {17, 6, [&] { return CallSlot<&CKavlib::WriteDataArea>(o, 17, static_cast<const uint8_t*>(buffer), 7999); }},
      {17, 17, [&] { return CallSlot<&CKavlib::WriteDataArea>(o, 17, static_cast<const uint8_t*>(buffer), 7998); }},
      {18, 6, [&] { return CallSlot<&CKavlib::SetControllerTime>(o, 18, 1); }},
      {18, 17, [&] { return CallSlot<&CKavlib::SetControllerTime>(o, 18, 0); }},
      {21, 6, [&] { return CallSlot<&CKavlib::SetName50>(o, 21, "a b"); }},
      {22, 6, [&] { return CallSlot<&CKavlib::SetOption51>(o, 22, 2); }},
      {23, 17, [&] { return CallSlot<&CKavlib::SetOption52>(o, 23, 2); }},
      {23, 6, [&] { return CallSlot<&CKavlib::SetOption52>(o, 23, 4); }},
      {24, 17, [&] { return CallSlot<&CKavlib::SetOption53>(o, 24, 4); }},
      {25, 6, [&] { return CallSlot<&CKavlib::SetIpAddress>(o, 25, 1, "not an address"); }},
      {25, 17, [&] { return CallSlot<&CKavlib::SetIpAddress>(o, 25, 1, "10.0.0.1"); }},
      {26, 6, [&] { return CallSlot<&CKavlib::SetOptions55>(o, 26, 1, 8, 1); }},
      {26, 17, [&] { return CallSlot<&CKavlib::SetOptions55>(o, 26, 1, 7, 1); }},
      {27, 17, [&] { return CallSlot<&CKavlib::SetText20>(o, 27, "a b"); }},
      {27, 6, [&] { return CallSlot<&CKavlib::SetText20>(o, 27, "ABCDEFGHIJKLMNOP"); }},
      {28, 17, [&] { return CallSlot<&CKavlib::RunCommand21>(o, 28); }},
      {29, 17, [&] { return CallSlot<&CKavlib::WebPassThrough>(o, 29, static_cast<const uint8_t*>(nullptr), 0, buffer, &length); }},
      {30, 6, [&] { return CallSlot<&CKavlib::GetEventPointer>(o, 30, static_cast<int*>(nullptr)); }},
      {30, 17, [&] { return CallSlot<&CKavlib::GetEventPointer>(o, 30, &count); }},
      {31, 6, [&] { return CallSlot<&CKavlib::ReadEvents>(o, 31, uint8_t{0}, static_cast<int*>(nullptr)); }},
      {31, 17, [&] { return CallSlot<&CKavlib::ReadEvents>(o, 31, uint8_t{0}, &count); }},
      {32, 0, [&] { return CallSlot<&CKavlib::GetEvent>(o, 32, 0, buffer); }},
      {33, 17, [&] { return CallSlot<&CKavlib::ClearEventLog>(o, 33); }},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(), c.result) << "slot " << c.slot;
}

// Attached, each slot's good call sends its own command.
TEST(SlotOrder, EachSlotSendsItsCommandThroughTheRawTable) {
  Library owner(AllocateCKavlib());
  CKavlib* o = owner.get();
  Bytes info = kavtest::SystemInfo(0, 32);
  info[kSysInfoMonitorForm] = 5;
  info[kSysInfoAcceptsUtc] = 1;
  auto* transport = kavtest::AttachScripted(*o, info);
  CKavlibTestAccess::SetDataBlockPause(*o, 0);
  transport->SetResponder([info](const kavtest::SentExchange& sent) {
    if (sent.code() == 35) return ScriptedReply::Frame(info);
    if (sent.code() == 26 || sent.code() == 25) return ScriptedReply::Frame(Bytes(512, 1));
    return ScriptedReply::Frame(Bytes(300, 1));
  });
  uint8_t buffer[kWebResponseCapacity];
  uint16_t values[kHardwareMonitorValues];
  const uint8_t request[1] = {'G'};
  const uint8_t record[6] = {};
  int count = 0;
  int length = 0;
  EXPECT_EQ((CallSlot<&CKavlib::GetTransport>(o, 0)), transport);

  struct Case {
    int slot;
    std::vector<int> codes;
    std::function<void()> call;
  } cases[] = {
      {2, {35}, [&] { CallSlot<&CKavlib::GetSystemInfo>(o, 2, buffer); }},
      {3, {32}, [&] { CallSlot<&CKavlib::GetRaidSetInfo>(o, 3, 0, buffer); }},
      {4, {33}, [&] { CallSlot<&CKavlib::GetVolumeSetInfo>(o, 4, 0, buffer); }},
      {5, {34}, [&] { CallSlot<&CKavlib::GetDeviceInfoEx>(o, 5, 0, 0, buffer); }},
      {6, {34}, [&] { CallSlot<&CKavlib::GetDeviceInfo>(o, 6, 0, buffer); }},
      {7, {27}, [&] { CallSlot<&CKavlib::GetHardwareMonitor>(o, 7, 1, values); }},
      {8, {27}, [&] { CallSlot<&CKavlib::GetHardwareMonitorRaw>(o, 8, buffer); }},
      {9, {16}, [&] { CallSlot<&CKavlib::SendPrefixedText16>(o, 9, "a"); }},
      {10, {17}, [&] { CallSlot<&CKavlib::SetKeyedText17>(o, 10, "a"); }},
      {11, {18}, [&] { CallSlot<&CKavlib::SetKeyedText18>(o, 11, "a"); }},
      {12, {19}, [&] { CallSlot<&CKavlib::GetSubsystemInfo>(o, 12, buffer); }},
      {13, {19}, [&] { CallSlot<&CKavlib::CheckSubsystem>(o, 13); }},
      {14, {48}, [&] { CallSlot<&CKavlib::RunCommand48>(o, 14); }},
      {15, {49}, [&] { CallSlot<&CKavlib::SetOption49>(o, 15, 1); }},
      {16, {23}, [&] { CallSlot<&CKavlib::SetKeyedValue23>(o, 16, record); }},
      {17, {24, 24, 24, 24}, [&] { CallSlot<&CKavlib::WriteDataArea>(o, 17, static_cast<const uint8_t*>(nullptr), 0); }},
      {18, {29}, [&] { CallSlot<&CKavlib::SetControllerTime>(o, 18, 0); }},
      {21, {50}, [&] { CallSlot<&CKavlib::SetName50>(o, 21, "a"); }},
      {22, {51}, [&] { CallSlot<&CKavlib::SetOption51>(o, 22, 1); }},
      {23, {52}, [&] { CallSlot<&CKavlib::SetOption52>(o, 23, 1); }},
      {24, {53}, [&] { CallSlot<&CKavlib::SetOption53>(o, 24, 1); }},
      {25, {57}, [&] { CallSlot<&CKavlib::SetIpAddress>(o, 25, 1, "10.0.0.1"); }},
      {26, {55}, [&] { CallSlot<&CKavlib::SetOptions55>(o, 26, 1, 1, 1); }},
      {27, {20}, [&] { CallSlot<&CKavlib::SetText20>(o, 27, "a"); }},
      {28, {21}, [&] { CallSlot<&CKavlib::RunCommand21>(o, 28); }},
      {29, {22}, [&] { CallSlot<&CKavlib::WebPassThrough>(o, 29, request, 1, buffer, &length); }},
      {30, {25}, [&] { CallSlot<&CKavlib::GetEventPointer>(o, 30, &count); }},
      {31, {25, 26, 26, 25}, [&] { CallSlot<&CKavlib::ReadEvents>(o, 31, uint8_t{0}, &count); }},
      {32, {}, [&] { CallSlot<&CKavlib::GetEvent>(o, 32, 0, buffer); }},
      {33, {36}, [&] { CallSlot<&CKavlib::ClearEventLog>(o, 33); }},
  };
  for (const auto& c : cases) {
    transport->ClearSent();
    c.call();
    std::vector<int> codes;
    for (const auto& sent : transport->Sent()) codes.push_back(sent.code());
    EXPECT_EQ(codes, c.codes) << "slot " << c.slot;
  }
}

TEST(SlotOrder, SlotsStillToComeAnswerNotAvailableWithoutAnExchange) {
  Library owner(AllocateCKavlib());
  CKavlib* o = owner.get();
  auto* transport = kavtest::AttachScripted(*o, kavtest::SystemInfo());
  for (int slot : kavcmd::kSlotsStillToCome) {
    ASSERT_GE(slot, 34);
    ASSERT_LT(slot, 99);
    EXPECT_EQ(kSlots[slot].call_with_defaults(o), KAV_NOT_AVAILABLE) << kSlots[slot].name;
  }
  EXPECT_TRUE(transport->Sent().empty());
}

}  // namespace
