// The operations of the slots listed in PendingSlots.h: each answers "not
// available" before anything is sent.
#include "library/commands/CKavlib.h"
#include "library/commands/PendingSlots.h"

namespace {
constexpr int kStillToCome = KAV_NOT_AVAILABLE;
}  // namespace

int CKavlib::CreateRaidSetEx(const uint8_t*, const char*) { return kStillToCome; }
int CKavlib::CreateRaidSet(uint32_t, const char*) { return kStillToCome; }
int CKavlib::DeleteRaidSet(int) { return kStillToCome; }
int CKavlib::ExpandRaidSetEx(int, const uint8_t*, const uint8_t*) { return kStillToCome; }
int CKavlib::ExpandRaidSet(int, uint32_t, const uint8_t*) { return kStillToCome; }
int CKavlib::RunCommand83(int) { return kStillToCome; }
int CKavlib::RunCommand84Ex(const uint8_t*) { return kStillToCome; }
int CKavlib::RunCommand84(uint32_t) { return kStillToCome; }
int CKavlib::RunCommand85Ex(const uint8_t*) { return kStillToCome; }
int CKavlib::RunCommand85(uint32_t) { return kStillToCome; }
int CKavlib::CreateVolumeSet(const uint8_t*, int) { return kStillToCome; }
int CKavlib::ModifyVolumeSet(const uint8_t*) { return kStillToCome; }
int CKavlib::DeleteVolumeSet(int) { return kStillToCome; }
int CKavlib::RunCommand99(int) { return kStillToCome; }
int CKavlib::RunCommand100() { return kStillToCome; }
int CKavlib::CreatePassThroughDiskEx(int, int, const uint8_t*) { return kStillToCome; }
int CKavlib::CreatePassThroughDisk(const uint8_t*) { return kStillToCome; }
int CKavlib::ModifyPassThroughDiskEx(int, int, uint8_t*) { return kStillToCome; }
int CKavlib::ModifyPassThroughDisk(const uint8_t*) { return kStillToCome; }
int CKavlib::DeletePassThroughDiskEx(int, int) { return kStillToCome; }
int CKavlib::DeletePassThroughDisk(int) { return kStillToCome; }
int CKavlib::RunCommand67(uint32_t) { return kStillToCome; }
int CKavlib::RunCommand54() { return kStillToCome; }
int CKavlib::WriteParameterFile(const char*) { return kStillToCome; }
int CKavlib::WriteParameterData(const uint8_t*, int) { return kStillToCome; }
int CKavlib::GetAddressRecord(uint8_t*) { return kStillToCome; }
int CKavlib::GetParamBytes(uint8_t*) { return kStillToCome; }
int CKavlib::SetParam73(int) { return kStillToCome; }
int CKavlib::SetParam38(int) { return kStillToCome; }
int CKavlib::SetParam75(int) { return kStillToCome; }
int CKavlib::SetParam50(int) { return kStillToCome; }
int CKavlib::SetParam41(int) { return kStillToCome; }
int CKavlib::SetParam51(int) { return kStillToCome; }
int CKavlib::SetParam76(int) { return kStillToCome; }
int CKavlib::SetParam77(int) { return kStillToCome; }
int CKavlib::SetParam57(int) { return kStillToCome; }
int CKavlib::SetParam79(int) { return kStillToCome; }
int CKavlib::SetParam78(int) { return kStillToCome; }
int CKavlib::SetParam59(int) { return kStillToCome; }
int CKavlib::GetMonitorUnitInfo(int, uint8_t*) { return kStillToCome; }
int CKavlib::GetMonitorUnitText(int, int, uint8_t*, int) { return kStillToCome; }
int CKavlib::GetMonitorUnitStatus(int, uint8_t*) { return kStillToCome; }
int CKavlib::RunCommand67Ex(int, int, int) { return kStillToCome; }
int CKavlib::CreateVolumeSetOnRaidSets(int, const uint8_t*, const uint8_t*, int) { return kStillToCome; }
int CKavlib::GetParams39(uint8_t*) { return kStillToCome; }
int CKavlib::SetParam39(const char*) { return kStillToCome; }
int CKavlib::SetParams40And67(const char*, const char*) { return kStillToCome; }
int CKavlib::SetParam62To66(uint32_t, const uint8_t*) { return kStillToCome; }
int CKavlib::SetParam36(uint32_t) { return kStillToCome; }
int CKavlib::SetParam37(int32_t) { return kStillToCome; }
int CKavlib::GetParams43(uint8_t*) { return kStillToCome; }
int CKavlib::SetParam43To45(uint32_t, const char*) { return kStillToCome; }
int CKavlib::SetParam46To48(uint32_t, int) { return kStillToCome; }
int CKavlib::SetParam68(const char*) { return kStillToCome; }
int CKavlib::SetParam69(const char*) { return kStillToCome; }
int CKavlib::SetParam71(const char*) { return kStillToCome; }
int CKavlib::SetParam70(const char*) { return kStillToCome; }
int CKavlib::SetParam49(uint32_t) { return kStillToCome; }
int CKavlib::SetParam86(int) { return kStillToCome; }
int CKavlib::SetParam87(int) { return kStillToCome; }
int CKavlib::SetParam88To89(uint32_t, const char*) { return kStillToCome; }
int CKavlib::GetParams88(uint8_t*) { return kStillToCome; }
int CKavlib::SetParam26(const char*) { return kStillToCome; }
int CKavlib::SetParam17(const char*) { return kStillToCome; }
int CKavlib::SetOption86(int) { return kStillToCome; }
