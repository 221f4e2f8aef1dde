// Small helpers for the unix stream sockets the simulator listens on.
#pragma once

#include <string>

namespace kavsim {

// Binds and listens on path. A stale socket file left by a dead server is
// replaced; one that a live server still answers on is an error.
int ListenUnix(const std::string& path, std::string* error);
int ConnectUnix(const std::string& path);

}  // namespace kavsim
