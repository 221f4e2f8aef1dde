// Controller detection of the tray tool over the miniport transport.
#include "ControllerTable.h"

#include <new>

#include "library/transport/WinIoctlInterface.h"

void DetectControllers(ControllerTable& table) {
  uint8_t filled = 0;
  WinIoctlInterface* transport = new (std::nothrow) WinIoctlInterface;
  for (int port = 0; transport != nullptr && port < kScsiPortCount; ++port) {
    if (!transport->OpenPort(port)) continue;  // try the next port with the same object
    table.records[filled].library.Attach(transport);  // the record owns it from here
    transport = nullptr;
    ++filled;
    if (filled == kMaxControllers) break;
    transport = new (std::nothrow) WinIoctlInterface;
  }
  // The object made for ports that never answered belongs to nobody.
  delete transport;
  table.count = filled;
}

ControllerTable& TheControllerTable() {
  static ControllerTable table;
  return table;
}
