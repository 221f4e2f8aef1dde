// Fuzz target: arbitrary controller replies to every reading operation, from
// Attach on. Each reply is taken from the input as a 16-bit length and that
// many bytes; the sanitizers catch any read or write outside a buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "library/commands/CKavlib.h"
#include "tests/support/ScriptedTransport.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  kavtest::ScriptedReply Next() {
    if (at + 2 > size) return kavtest::ScriptedReply::Result(-7);
    size_t length = data[at] | (data[at + 1] << 8);
    at += 2;
    length = std::min(length, size - at);
    kavtest::Bytes bytes(data + at, data + at + length);
    at += length;
    if (bytes.empty()) return kavtest::ScriptedReply::Result(0);
    return kavtest::ScriptedReply::Raw(std::move(bytes));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size};
  const uint8_t operations = input.Byte();
  CKavlib library;
  CKavlibTestAccess::SetDataBlockPause(library, 0);
  auto* transport = new kavtest::ScriptedTransport();
  transport->SetResponder([&input](const kavtest::SentExchange&) { return input.Next(); });
  library.Attach(transport);

  std::vector<uint8_t> buffer(kWebResponseCapacity);
  uint16_t values[kHardwareMonitorValues];
  int count = 0;
  for (int step = 0; step < 8; ++step) {
    switch ((operations >> (step % 4)) % 10) {
      case 0: library.GetRaidSetInfo(0, buffer.data()); break;
      case 1: library.GetVolumeSetInfo(1, buffer.data()); break;
      case 2: library.GetDeviceInfoEx(1, 2, buffer.data()); break;
      case 3: library.GetHardwareMonitor(1 + step % 7, values); break;
      case 4: library.GetHardwareMonitorRaw(buffer.data()); break;
      case 5: library.CheckSubsystem(); break;
      case 6: {
        const uint8_t request[] = "GET / HTTP/1.0\r\n\r\n";
        library.WebPassThrough(request, sizeof(request) - 1, buffer.data(), &count);
        break;
      }
      case 7:
      case 8:
        if (library.ReadEvents(static_cast<uint8_t>(step & 1), &count) == KAV_OK) {
          for (int i = 0; i < count + 2; ++i) library.GetEvent(i, buffer.data());
        }
        break;
      default: library.GetSystemInfo(buffer.data()); break;
    }
  }
  return 0;
}
