// Throughput of the simulated controller: command exchanges in-process and
// through the device endpoint, and a GETNEXT walk of the firmware MIB.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/windows.h"
#include "sim/Simulator.h"
#include "sim/firmware/Frame.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> Block(uint32_t code, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> b(kavsim::miniport::kBlockSize, 0);
  b[0] = 28;
  std::memcpy(b.data() + 4, "KAVMSR", 6);
  for (int i = 0; i < 4; ++i) b[16 + i] = static_cast<uint8_t>(code >> (8 * i));
  uint32_t n = data.empty() ? 1031 : static_cast<uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) b[24 + i] = static_cast<uint8_t>(n >> (8 * i));
  if (!data.empty()) std::memcpy(b.data() + 28, data.data(), data.size());
  return b;
}

// One exchange through a control function; returns the reply bytes.
template <typename Call>
std::vector<uint8_t> Exchange(Call call, const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> out(kavsim::miniport::kBlockSize);
  auto prep = Block(kavsim::miniport::kPrepareFirst, {});
  call(prep, out);
  auto write = Block(kavsim::miniport::kWrite, frame);
  call(write, out);
  std::vector<uint8_t> reply;
  for (;;) {
    auto read = Block(kavsim::miniport::kRead, {});
    if (!call(read, out)) return reply;
    uint32_t n = out[24] | (out[25] << 8);
    reply.insert(reply.end(), out.begin() + 28, out.begin() + 28 + n);
    if (n == 0 || (reply.size() >= 6 && reply.size() >= size_t{reply[3]} + 256u * reply[4] + 6)) return reply;
  }
}

std::vector<uint8_t> GetNext(const std::vector<oid>& name) {
  netsnmp_session s;
  snmp_sess_init(&s);
  s.version = SNMP_VERSION_1;
  s.community = reinterpret_cast<u_char*>(const_cast<char*>("public"));
  s.community_len = 6;
  netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GETNEXT);
  pdu->version = SNMP_VERSION_1;
  snmp_add_null_var(pdu, name.data(), name.size());
  size_t len = 1500, off = 0;
  u_char* buf = static_cast<u_char*>(malloc(len));
  std::vector<uint8_t> out;
  if (snmp_build(&buf, &len, &off, &s, pdu) == 0) {
    const u_char* start = netsnmp_ds_get_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_REVERSE_ENCODE)
                              ? buf + len - off : buf;
    out.assign(start, start + off);
  }
  free(buf);
  snmp_free_pdu(pdu);
  return out;
}

}  // namespace

int main() {
  std::string error;
  auto sim = kavsim::Simulator::LoadText(R"({"controllers": [{"port": 0, "disks": [{}, {"number": 1}]}]})", &error);
  if (!sim) return 1;
  kavsim::Controller& c = *sim->At(0);
  auto direct = [&c](std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    size_t r = 0;
    return c.HandleControl(in.data(), in.size(), out.data(), out.size(), &r);
  };
  auto info = kavsim::BuildRequestFrame(35, {});
  constexpr int kDirect = 20000;
  auto t0 = Clock::now();
  for (int i = 0; i < kDirect; ++i) Exchange(direct, info);
  double direct_us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / kDirect;

  std::string dir = (std::filesystem::temp_directory_path() / ("kavsim-bench-" + std::to_string(getpid()))).string();
  kavsim::DeviceServer server(*sim, dir);
  if (!server.Start(&error)) return 1;
  setenv("KAV_DEVICE_DIR", dir.c_str(), 1);
  HANDLE h = CreateFileA("\\\\.\\scsi0:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  auto socket = [h](std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    DWORD r = 0;
    return DeviceIoControl(h, IOCTL_SCSI_MINIPORT, in.data(), static_cast<DWORD>(in.size()), out.data(),
                           static_cast<DWORD>(out.size()), &r, nullptr) != FALSE;
  };
  constexpr int kSocket = 2000;
  t0 = Clock::now();
  for (int i = 0; i < kSocket; ++i) Exchange(socket, info);
  double socket_us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / kSocket;

  // A whole GETNEXT walk in-process.
  std::vector<oid> at = {1, 3, 6, 1, 4, 1, 47319, 1, 1};
  int objects = 0;
  t0 = Clock::now();
  for (;;) {
    auto reply = Exchange(direct, kavsim::BuildRequestFrame(30, GetNext(at)));
    if (reply.size() < 7) break;
    netsnmp_session s;
    snmp_sess_init(&s);
    s.version = SNMP_VERSION_1;
    auto* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
    std::vector<u_char> body(reply.begin() + 5, reply.end() - 1);
    bool more = snmp_parse(nullptr, &s, pdu, body.data(), body.size()) == 0 && pdu->errstat == 0 &&
                pdu->variables != nullptr;
    if (more) at.assign(pdu->variables->name, pdu->variables->name + pdu->variables->name_length);
    snmp_free_pdu(pdu);
    if (!more) break;
    ++objects;
  }
  double walk_us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
  CloseHandle(h);
  server.Stop();
  std::filesystem::remove_all(dir);

  std::printf("sim_exchange_in_process: %.2f us\n", direct_us);
  std::printf("sim_exchange_through_endpoint: %.2f us\n", socket_us);
  std::printf("sim_endpoint_vs_in_process: %.1f ratio\n", socket_us / direct_us);
  std::printf("sim_getnext_walk_objects: %d objects\n", objects);
  std::printf("sim_getnext_per_object: %.2f us\n", objects ? walk_us / objects : 0.0);
  return 0;
}
