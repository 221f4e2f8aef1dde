// kavsim: serves the simulated controllers of a scenario as device endpoints
// scsiN in a directory until SIGTERM or SIGINT, with the control channel that
// kavsimctl talks to.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sim/Simulator.h"
#include "sim/server/ControlChannel.h"

namespace {

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: kavsim --device-dir DIR --scenario FILE\n"
               "Serves an endpoint DIR/scsiN for each controller of the scenario until SIGTERM.\n");
}

void Log(const std::string& line) {
  std::printf("kavsim: %s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir, scenario;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      return 0;
    }
    if ((a == "--device-dir" || a == "--scenario") && i + 1 < argc) {
      (a == "--device-dir" ? dir : scenario) = argv[++i];
      continue;
    }
    std::fprintf(stderr, "kavsim: %s\n",
                 (a == "--device-dir" || a == "--scenario") ? ("missing value after " + a).c_str()
                                                            : ("unknown argument \"" + a + "\"").c_str());
    Usage(stderr);
    return 2;
  }
  if (dir.empty() || scenario.empty()) {
    std::fprintf(stderr, "kavsim: both --device-dir and --scenario are needed\n");
    Usage(stderr);
    return 2;
  }

  std::string error;
  auto sim = kavsim::Simulator::LoadFile(scenario, &error);
  if (!sim) {
    std::fprintf(stderr, "kavsim: %s\n", error.c_str());
    return 1;
  }

  // Signals are taken by sigwait below, never by the serving threads.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  kavsim::DeviceServer devices(*sim, dir);
  devices.SetLog(Log);
  if (!devices.Start(&error)) {
    std::fprintf(stderr, "kavsim: %s\n", error.c_str());
    return 1;
  }
  kavsim::ControlServer control(*sim, dir);
  control.SetLog(Log);
  if (!control.Start(&error)) {
    std::fprintf(stderr, "kavsim: %s\n", error.c_str());
    return 1;
  }
  Log("scenario " + scenario + (sim->Name().empty() ? "" : " (" + sim->Name() + ")") + ": " +
      std::to_string(sim->Ports().size()) + " controller(s)");
  for (int port : sim->Ports()) {
    std::string line;
    sim->At(port)->WithState([&line, port](kavsim::FirmwareState& s) {
      line = "port " + std::to_string(port) + ": " + s.model + " " + s.firmware_version + ", kind " +
             std::to_string(s.kind) + (s.jbod ? ", JBOD" : ", RAID") + ", " +
             std::to_string(s.events.Slots()) + " event slots";
    });
    Log(line);
  }
  Log("control channel " + kavsim::ControlSocketPath(dir));
  Log("ready");

  int sig = 0;
  sigwait(&stop, &sig);
  Log(std::string("stopping on ") + (sig == SIGTERM ? "SIGTERM" : "SIGINT"));
  control.Stop();
  devices.Stop();
  return 0;
}
