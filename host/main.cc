// kavsnmpd: hosts the SNMP extension agent on Linux in place of the Windows
// SNMP service, serving it through Net-SNMP's agent library.

#include <signal.h>

#include <cstdio>
#include <string>

#include "host/AgentModule.h"
#include "host/HostLog.h"
#include "host/HostOptions.h"
#include "host/SnmpService.h"
#include "host/TrapRelay.h"
#include "host/StopSignal.h"

int main(int argc, char** argv) {
  using namespace kavhost;
  HostOptions options;
  std::string error;
  if (!ParseHostOptions(argc, argv, &options, &error)) {
    fprintf(stderr, "kavsnmpd: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    fputs(HostUsage().c_str(), stdout);
    return 0;
  }
  SetVerbose(options.verbose);
  signal(SIGPIPE, SIG_IGN);

  StopSignal stop;
  if (!stop.Install(&error)) {
    LogError("%s", error.c_str());
    return 1;
  }

  AgentModule agent;
  if (!agent.Load(options.agent_path, &error) || !agent.Start(&error)) {
    LogError("%s", error.c_str());
    return 1;
  }
  LogInfo("agent %s started", options.agent_path.c_str());

  SnmpService service;
  if (!service.Start(options, &agent, &error)) {
    LogError("%s", error.c_str());
    service.Stop();
    return 1;
  }
  bool traps = StartTrapRelay(&agent);
  stop.Watch();

  while (!stop.requested()) service.RunOnce();

  LogInfo("stopping (%s)", stop.signal_name());
  if (traps) StopTrapRelay();
  stop.Unwatch();
  service.Stop();
  agent.Unload();
  LogInfo("agent unloaded; exiting");
  return 0;
}
