// SIGTERM and SIGINT handling through a self-pipe watched by Net-SNMP's loop.
#include "host/StopSignal.h"

#include <fcntl.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/fd_event_manager.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kavhost {
namespace {

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_signal = 0;
bool g_watched = false;

void OnSignal(int number) {
  g_signal = number;
  int saved = errno;
  char byte = 1;
  // A full pipe already holds a wake-up; nothing more is needed.
  if (write(g_pipe[1], &byte, 1) < 0) {
  }
  errno = saved;
}

void OnPipeReadable(int fd, void* /*data*/) {
  char buffer[64];
  while (read(fd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

StopSignal::~StopSignal() {
  Unwatch();
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  for (int& fd : g_pipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

bool StopSignal::Install(std::string* error) {
  if (pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    *error = std::string("cannot create the signal pipe: ") + strerror(errno);
    return false;
  }
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  return true;
}

void StopSignal::Watch() {
  if (!g_watched && register_readfd(g_pipe[0], OnPipeReadable, nullptr) == FD_REGISTERED_OK)
    g_watched = true;
}

void StopSignal::Unwatch() {
  if (g_watched) unregister_readfd(g_pipe[0]);
  g_watched = false;
}

bool StopSignal::requested() const { return g_signal != 0; }

const char* StopSignal::signal_name() const {
  return g_signal == SIGINT ? "SIGINT" : g_signal == SIGTERM ? "SIGTERM" : "signal";
}

}  // namespace kavhost
