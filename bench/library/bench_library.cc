// What the controller library adds to a bare miniport exchange: commands per
// second and allocations per command for command 35 and a web pass-through,
// through the library and as the bare control calls, side by side against the
// in-process simulated controller.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/commands/CKavlib.h"
#include "library/transport/WinIoctlInterface.h"
#include "platform/windows.h"
#include "sim/Simulator.h"

// ---- allocation counting (only where no sanitizer owns malloc) ---------------
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KAV_BENCH_NO_COUNTING 1
#endif
#endif

namespace {
__attribute__((tls_model("initial-exec"))) thread_local long t_allocations = 0;
}  // namespace

#ifndef KAV_BENCH_NO_COUNTING
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t size) {
  ++t_allocations;
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
  ++t_allocations;
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size) {
  ++t_allocations;
  return __libc_realloc(p, size);
}
#endif

namespace {

const char* const kScenario = R"({
  "name": "benchmark controller",
  "controllers": [{"port": 4, "kind": 1, "event_slots": 128}]
})";

const std::string kWebRequest = "GET / HTTP/1.0\r\nHost: controller\r\n\r\n";

struct ControlBlock {
  SRB_IO_CONTROL header;
  uint8_t data[kMiniportWindow];
};

void Header(ControlBlock& block, uint32_t code, uint32_t length) {
  std::memset(&block.header, 0, sizeof(block.header));
  block.header.HeaderLength = kMiniportHeaderLength;
  std::memcpy(block.header.Signature, "KAVMSR", 6);
  block.header.Timeout = kMiniportTimeout;
  block.header.ControlCode = code;
  block.header.Length = length;
}

// The exchange without the library: the same control calls, stack blocks, one
// reply buffer of exactly what the controller sends.
int BareExchange(HANDLE device, const std::vector<uint8_t>& request, std::vector<uint8_t>& reply) {
  ControlBlock block;
  DWORD returned = 0;
  Header(block, kControlPrepareFirst, kMiniportMaxChunk);
  DeviceIoControl(device, IOCTL_SCSI_MINIPORT, &block, sizeof(block), &block, sizeof(block), &returned, nullptr);
  Header(block, kControlPrepareSecond, kMiniportMaxChunk);
  DeviceIoControl(device, IOCTL_SCSI_MINIPORT, &block, sizeof(block), &block, sizeof(block), &returned, nullptr);
  for (size_t offset = 0; offset < request.size();) {
    const size_t chunk = std::min<size_t>(request.size() - offset, kMiniportMaxChunk);
    Header(block, kControlWrite, static_cast<uint32_t>(chunk));
    std::memcpy(block.data, request.data() + offset, chunk);
    if (!DeviceIoControl(device, IOCTL_SCSI_MINIPORT, &block, sizeof(block), &block, sizeof(block), &returned, nullptr) ||
        block.header.ReturnCode != kWriteAccepted) {
      return -8;
    }
    offset += chunk;
  }
  size_t received = 0;
  int expected = -1;
  ControlBlock in;
  Header(in, kControlRead, kMiniportMaxChunk);
  for (int polls = 0; polls < 1000; ++polls) {
    if (!DeviceIoControl(device, IOCTL_SCSI_MINIPORT, &in, sizeof(in), &block, sizeof(block), &returned, nullptr)) {
      return -2;
    }
    const size_t n = std::min<size_t>(block.header.Length, kMiniportWindow);
    if (n == 0) {
      Sleep(10);
      continue;
    }
    if (reply.size() < received + n) reply.resize(received + n);
    std::memcpy(reply.data() + received, block.data, n);
    received += n;
    if (expected < 0) expected = FrameLength(reply.data(), static_cast<int>(received));
    if (expected >= 0 && received >= static_cast<size_t>(expected)) return static_cast<int>(received);
  }
  return -7;
}

std::vector<uint8_t> CommandFrame(uint8_t code) {
  return {0x5E, 0x01, 0x61, 0x01, 0x00, code, static_cast<uint8_t>(1 + code)};
}

std::vector<uint8_t> WebStream() {
  std::vector<uint8_t> frame = {0x5E, 0x01, 0x61, static_cast<uint8_t>(kWebRequest.size() + 1),
                                static_cast<uint8_t>((kWebRequest.size() + 1) >> 8), 22};
  frame.insert(frame.end(), kWebRequest.begin(), kWebRequest.end());
  frame.push_back(0);
  frame.back() = FrameChecksum(frame.data(), static_cast<int>(frame.size()));
  return frame;
}

struct Figures {
  double per_second = 0;
  double allocations = 0;
};

Figures Measure(int iterations, const std::function<bool()>& one) {
  for (int i = 0; i < iterations / 10; ++i) one();  // warm up
  const long before = t_allocations;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < iterations; ++i) {
    if (!one()) {
      std::fprintf(stderr, "bench_library: an exchange failed\n");
      std::exit(1);
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {iterations / seconds, static_cast<double>(t_allocations - before) / iterations};
}

// Rates are averaged over the rounds; the ratio is the median of the rounds'
// ratios, which a machine shared with other work disturbs least.
void Report(const char* name, const Figures& library, const Figures& bare, std::vector<double> ratios) {
  std::sort(ratios.begin(), ratios.end());
  const double ratio = ratios[ratios.size() / 2];
  std::printf("%s_library: %.0f commands/s\n", name, library.per_second);
  std::printf("%s_bare: %.0f commands/s\n", name, bare.per_second);
  std::printf("%s_time_ratio: %.3f library/bare\n", name, ratio);
  std::printf("%s_overhead: %.1f %%\n", name, (ratio - 1.0) * 100.0);
#ifndef KAV_BENCH_NO_COUNTING
  std::printf("%s_library_allocations: %.2f allocations/command\n", name, library.allocations);
  std::printf("%s_bare_allocations: %.2f allocations/command\n", name, bare.allocations);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const int iterations = argc > 1 ? std::atoi(argv[1]) : 3000;
  char pattern[] = "/tmp/kavlib-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  std::filesystem::create_directories(dir + "/dev");
  std::filesystem::create_directories(dir + "/ipc");
  setenv("KAV_DEVICE_DIR", (dir + "/dev").c_str(), 1);
  setenv("KAV_IPC_DIR", (dir + "/ipc").c_str(), 1);

  std::string error;
  auto sim = kavsim::Simulator::LoadText(kScenario, &error);
  if (!sim) {
    std::fprintf(stderr, "bench_library: %s\n", error.c_str());
    return 1;
  }
  auto server = std::make_unique<kavsim::DeviceServer>(*sim, dir + "/dev");
  if (!server->Start(&error)) {
    std::fprintf(stderr, "bench_library: %s\n", error.c_str());
    return 1;
  }

  int status = 0;
  {
    auto* transport = new WinIoctlInterface();
    CKavlib library;
    if (!transport->OpenPort(4) || library.Attach(transport) != KAV_OK) {
      std::fprintf(stderr, "bench_library: cannot attach to the simulated controller\n");
      delete transport;
      return 1;
    }
    HANDLE device = CreateFileA("\\\\.\\scsi4:", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);

    uint8_t info[kSystemInfoSize];
    const auto frame35 = CommandFrame(35);
    std::vector<uint8_t> reply;
    reply.reserve(0x30000);
    // Library and bare alternate in rounds so that drift affects both alike.
    Figures lib35{}, bare35{}, libweb{}, bareweb{}, transport35{};
    std::vector<uint8_t> transact_reply(0x30000);
    KavInterface* attached = library.GetTransport();
    const int rounds = 5;
    std::vector<double> ratios35, ratios_web;
    for (int round = 0; round < rounds; ++round) {
      const Figures l = Measure(iterations, [&] { return library.GetSystemInfo(info) == KAV_OK; });
      const Figures b = Measure(iterations, [&] { return BareExchange(device, frame35, reply) == 262; });
      const Figures t = Measure(iterations, [&] {
        TransferRequest r;
        r.timeout = 3000;
        r.request = frame35.data();
        r.request_length = static_cast<int>(frame35.size());
        r.reply = transact_reply.data();
        r.reply_capacity = static_cast<int>(transact_reply.size());
        r.frame_length = &FrameLength;
        r.checksum = &FrameChecksum;
        return attached->Transact(r) == 262;
      });
      ratios35.push_back(b.per_second / l.per_second);
      transport35.per_second += t.per_second / rounds;
      transport35.allocations += t.allocations / rounds;
      lib35.per_second += l.per_second / rounds;
      lib35.allocations += l.allocations / rounds;
      bare35.per_second += b.per_second / rounds;
      bare35.allocations += b.allocations / rounds;
    }
    Report("cmd35", lib35, bare35, ratios35);
    std::printf("cmd35_transport_only: %.0f commands/s\n", transport35.per_second);

    std::vector<uint8_t> response(kWebResponseCapacity);
    const auto stream = WebStream();
    for (int round = 0; round < rounds; ++round) {
      int length = 0;
      const Figures l = Measure(iterations / 2, [&] {
        return library.WebPassThrough(reinterpret_cast<const uint8_t*>(kWebRequest.data()),
                                      static_cast<int>(kWebRequest.size()), response.data(),
                                      &length) == KAV_OK &&
               std::memcmp(response.data(), "HTTP", 4) == 0;
      });
      const Figures b = Measure(iterations / 2, [&] { return BareExchange(device, stream, reply) > 6; });
      ratios_web.push_back(b.per_second / l.per_second);
      libweb.per_second += l.per_second / rounds;
      libweb.allocations += l.allocations / rounds;
      bareweb.per_second += b.per_second / rounds;
      bareweb.allocations += b.allocations / rounds;
    }
    Report("web", libweb, bareweb, ratios_web);
    CloseHandle(device);
  }
  server->Stop();
  std::filesystem::remove_all(dir);
  return status;
}
