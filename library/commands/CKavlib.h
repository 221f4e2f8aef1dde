// CKavlib: one object stands for one RAID controller. It owns the transport
// that reaches the controller, keeps a copy of the controller's system
// information and offers every controller function as a virtual operation that
// returns a library status code (KavStatus.h).
//
// The 99 virtual operations are the library's binary interface: other programs
// get an object from AllocateCKavlib and call it through the table, so their
// order below never changes. Slot 0 is GetTransport; there is no virtual
// destructor (objects are released with FreeCKavlib, or by their destructor
// for objects with static storage).
#pragma once

#include <cstdint>

#include "library/commands/KavStatus.h"
#include "library/transport/KavInterface.h"

// Sizes of the records and buffers the operations exchange with callers.
inline constexpr int kSystemInfoSize = 256;
inline constexpr int kSubsystemInfoSize = 44;
inline constexpr int kRaidSetRecordSize = 272;
inline constexpr int kVolumeSetRecordSize = 128;
inline constexpr int kDeviceRecordSize = 256;
inline constexpr int kHardwareMonitorValues = 51;   // count + 50 values
inline constexpr int kHardwareMonitorRawSize = 2048;
inline constexpr int kEventRecordSize = 32;
inline constexpr int kEventPageSize = 512;
inline constexpr int kWebResponseCapacity = 0x30000 - 6;
// QueryMib writes at most this many components to the caller's result array;
// an answer whose OID is longer is refused.
inline constexpr int kQueryMibMaxIds = 128;

// Offsets of the system information record that the library reads.
inline constexpr int kSysInfoFirmwareVersion = 56;  // 5 characters
inline constexpr int kSysInfoEventSlots = 148;      // 32-bit, records in the event ring
inline constexpr int kSysInfoMonitorForm = 174;
inline constexpr int kSysInfoHostBus = 175;
inline constexpr int kSysInfoLayoutFlag = 177;
inline constexpr int kSysInfoAvailability = 179;
inline constexpr int kSysInfoLayoutSelect = 188;
inline constexpr int kSysInfoKind = 189;
inline constexpr int kSysInfoHighestUnit = 193;
inline constexpr int kSysInfoLongVolumeRecords = 194;
inline constexpr int kSysInfoAcceptsUtc = 195;

class CKavlib final {
 public:
  CKavlib();
  ~CKavlib();
  CKavlib(const CKavlib&) = delete;
  CKavlib& operator=(const CKavlib&) = delete;

  // ---- object and transaction --------------------------------------------
  /* 0 */ virtual KavInterface* GetTransport();
  /* 1 */ virtual int Attach(KavInterface* transport);
  /* 2 */ virtual int GetSystemInfo(uint8_t* dst);
  // ---- record queries ------------------------------------------------------
  /* 3 */ virtual int GetRaidSetInfo(int number, uint8_t* record);
  /* 4 */ virtual int GetVolumeSetInfo(int number, uint8_t* record);
  /* 5 */ virtual int GetDeviceInfoEx(int unit, int device, uint8_t* record);
  /* 6 */ virtual int GetDeviceInfo(int device, uint8_t* record);
  // ---- hardware monitor ----------------------------------------------------
  /* 7 */ virtual int GetHardwareMonitor(int type, uint16_t* out);
  /* 8 */ virtual int GetHardwareMonitorRaw(uint8_t* buffer);
  // ---- prefixed and keyed commands -----------------------------------------
  /* 9 */ virtual int SendPrefixedText16(const char* text);
  /* 10 */ virtual int SetKeyedText17(const char* text);
  /* 11 */ virtual int SetKeyedText18(const char* text);
  /* 12 */ virtual int GetSubsystemInfo(uint8_t* record);
  /* 13 */ virtual int CheckSubsystem();
  /* 14 */ virtual int RunCommand48();
  /* 15 */ virtual int SetOption49(int value);
  /* 16 */ virtual int SetKeyedValue23(const uint8_t* record);
  /* 17 */ virtual int WriteDataArea(const uint8_t* data, int length);
  /* 18 */ virtual int SetControllerTime(int utc);
  // ---- SNMP pass-through ---------------------------------------------------
  /* 19 */ virtual int SnmpPassThrough(const uint8_t* request, int length, uint8_t* reply,
                                       int* reply_length);
  /* 20 */ virtual int QueryMib(const uint32_t* ids, int* count, const char* community,
                                uint32_t* result, uint8_t* type, void** value, int* value_length,
                                uint8_t get_flag);
  // ---- simple control commands ---------------------------------------------
  /* 21 */ virtual int SetName50(const char* text);
  /* 22 */ virtual int SetOption51(int value);
  /* 23 */ virtual int SetOption52(int value);
  /* 24 */ virtual int SetOption53(int value);
  /* 25 */ virtual int SetIpAddress(int selector, const char* address);
  /* 26 */ virtual int SetOptions55(int a, int b, int c);
  /* 27 */ virtual int SetText20(const char* text);
  /* 28 */ virtual int RunCommand21();
  /* 29 */ virtual int WebPassThrough(const uint8_t* request, int length, uint8_t* response,
                                      int* response_length);
  // ---- event log -----------------------------------------------------------
  /* 30 */ virtual int GetEventPointer(int* pointer);
  /* 31 */ virtual int ReadEvents(uint8_t mode, int* count);
  /* 32 */ virtual int GetEvent(int index, uint8_t* record);
  /* 33 */ virtual int ClearEventLog();
  // ---- raid set and volume set configuration -------------------------------
  /* 34 */ virtual int CreateRaidSetEx(const uint8_t* device_list, const char* name);
  /* 35 */ virtual int CreateRaidSet(uint32_t device_mask, const char* name);
  /* 36 */ virtual int DeleteRaidSet(int number);
  /* 37 */ virtual int ExpandRaidSetEx(int number, const uint8_t* device_list,
                                       const uint8_t* volume_changes);
  /* 38 */ virtual int ExpandRaidSet(int number, uint32_t device_mask,
                                     const uint8_t* volume_changes);
  /* 39 */ virtual int RunCommand83(int number);
  /* 40 */ virtual int RunCommand84Ex(const uint8_t* device_list);
  /* 41 */ virtual int RunCommand84(uint32_t device_mask);
  /* 42 */ virtual int RunCommand85Ex(const uint8_t* device_list);
  /* 43 */ virtual int RunCommand85(uint32_t device_mask);
  /* 44 */ virtual int CreateVolumeSet(const uint8_t* specification, int flag);
  /* 45 */ virtual int ModifyVolumeSet(const uint8_t* edit);
  /* 46 */ virtual int DeleteVolumeSet(int number);
  /* 47 */ virtual int RunCommand99(int number);
  /* 48 */ virtual int RunCommand100();
  // ---- pass-through disks and device commands ------------------------------
  /* 49 */ virtual int CreatePassThroughDiskEx(int unit, int device, const uint8_t* specification);
  /* 50 */ virtual int CreatePassThroughDisk(const uint8_t* specification);
  /* 51 */ virtual int ModifyPassThroughDiskEx(int unit, int device, uint8_t* specification);
  /* 52 */ virtual int ModifyPassThroughDisk(const uint8_t* specification);
  /* 53 */ virtual int DeletePassThroughDiskEx(int unit, int device);
  /* 54 */ virtual int DeletePassThroughDisk(int device);
  /* 55 */ virtual int RunCommand67(uint32_t value);
  /* 56 */ virtual int RunCommand54();
  // ---- parameters ----------------------------------------------------------
  /* 57 */ virtual int WriteParameterFile(const char* path);
  /* 58 */ virtual int WriteParameterData(const uint8_t* data, int length);
  /* 59 */ virtual int GetAddressRecord(uint8_t* record);
  /* 60 */ virtual int GetParamBytes(uint8_t* bytes);
  /* 61 */ virtual int SetParam73(int value);
  /* 62 */ virtual int SetParam38(int value);
  /* 63 */ virtual int SetParam75(int value);
  /* 64 */ virtual int SetParam50(int value);
  /* 65 */ virtual int SetParam41(int value);
  /* 66 */ virtual int SetParam51(int value);
  /* 67 */ virtual int SetParam76(int value);
  /* 68 */ virtual int SetParam77(int value);
  /* 69 */ virtual int SetParam57(int value);
  /* 70 */ virtual int SetParam79(int value);
  /* 71 */ virtual int SetParam78(int value);
  /* 72 */ virtual int SetParam59(int value);
  // ---- hardware-monitor units ----------------------------------------------
  /* 73 */ virtual int GetMonitorUnitInfo(int unit, uint8_t* record);
  /* 74 */ virtual int GetMonitorUnitText(int unit, int group, uint8_t* buffer, int capacity);
  /* 75 */ virtual int GetMonitorUnitStatus(int unit, uint8_t* record);
  // ---- further configuration and parameters --------------------------------
  /* 76 */ virtual int RunCommand67Ex(int mode, int first, int second);
  /* 77 */ virtual int CreateVolumeSetOnRaidSets(int count, const uint8_t* raid_sets,
                                                 const uint8_t* specification, int flag);
  /* 78 */ virtual int GetParams39(uint8_t* record);
  /* 79 */ virtual int SetParam39(const char* address);
  /* 80 */ virtual int SetParams40And67(const char* text_a, const char* text_b);
  /* 81 */ virtual int SetParam62To66(uint32_t index, const uint8_t* record);
  /* 82 */ virtual int SetParam36(uint32_t value);
  /* 83 */ virtual int SetParam37(int32_t value);
  /* 84 */ virtual int GetParams43(uint8_t* record);
  /* 85 */ virtual int SetParam43To45(uint32_t index, const char* address);
  /* 86 */ virtual int SetParam46To48(uint32_t index, int value);
  /* 87 */ virtual int SetParam68(const char* text);
  /* 88 */ virtual int SetParam69(const char* text);
  /* 89 */ virtual int SetParam71(const char* text);
  /* 90 */ virtual int SetParam70(const char* text);
  /* 91 */ virtual int SetParam49(uint32_t value);
  /* 92 */ virtual int SetParam86(int value);
  /* 93 */ virtual int SetParam87(int value);
  /* 94 */ virtual int SetParam88To89(uint32_t index, const char* address);
  /* 95 */ virtual int GetParams88(uint8_t* record);
  /* 96 */ virtual int SetParam26(const char* address);
  /* 97 */ virtual int SetParam17(const char* address);
  /* 98 */ virtual int SetOption86(int value);

  // ---- library-internal ------------------------------------------------------
  // One framed command exchange; see SendCommand.cc.
  int SendCommand(uint8_t code, const uint8_t* payload, int payload_length, uint8_t* reply,
                  int capacity, int* reply_length);
  bool DetectJbod();
  int ReadEventPage(uint8_t page);

  // Read-only views for the layers above and for tests.
  const uint8_t* CachedSystemInfo() const { return m_SystemInfo; }
  uint8_t ControllerKind() const { return m_SystemInfo[kSysInfoKind]; }
  bool IsJbod() const { return m_nJbod != 0; }
  bool HasEventBuffers() const { return m_pEventPage != nullptr && m_pEventRing != nullptr; }

 private:
  void ReleaseResources();

  KavInterface* m_pTransport = nullptr;  // owned
  uint8_t m_SystemInfo[kSystemInfoSize] = {};
  int32_t m_nJbod = 0;
  int32_t m_nPrevEventPointer = 0;
  int32_t m_nCurEventPointer = 0;
  int32_t m_nNewEventCount = 0;
  uint8_t* m_pEventPage = nullptr;  // owned, kEventPageSize bytes
  uint8_t* m_pEventRing = nullptr;  // owned, (event slots / 16) pages
  int32_t m_nEventRingPages = 0;    // pages in m_pEventRing
  int32_t m_nMaxChunk = 0;
  // Pause after each confirmed data-area block, giving the firmware time to
  // store it; tests shorten it through CKavlibTestAccess.
  uint32_t m_nDataBlockPauseMs = 500;

  friend class CKavlibTestAccess;
};

// The library's factory, with C linkage and undecorated names.
extern "C" {
CKavlib* AllocateCKavlib();
void FreeCKavlib(CKavlib* library);
}

// Frame helpers handed to the transport with every exchange, and the frame
// check of SendCommand.
int FrameLength(uint8_t* received, int count);
uint8_t FrameChecksum(const uint8_t* frame, int length);
bool ValidateFrame(const uint8_t* reply, int count);
