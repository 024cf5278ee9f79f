// System part: the TCP listening socket, opened by number.
//
// The socket listens on 127.0.0.1 only: nothing is ever served on it, so it must not be
// reachable from the network. It is non-blocking and closed on exec, so that programs
// the process starts (the help viewer, the crash-report viewer) do not inherit it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/system.h"

namespace zolt::platform {

namespace {

std::mutex ServerLock;
int Servers[MaxNetworkServers] = {};  // descriptor + 1; 0 = none
thread_local std::string NetworkError;

bool ValidServer(int server) { return server >= 0 && server < MaxNetworkServers; }

bool Fail(const char* call, int fd) {
  NetworkError = std::string(call) + ": " + std::strerror(errno);
  if (fd >= 0) ::close(fd);
  return false;
}

}  // namespace

bool OpenNetworkServer(int server, int port, int backlog) {
  if (!ValidServer(server) || port <= 0 || port > 65535) {
    NetworkError = "invalid server number or port";
    return false;
  }
  CloseNetworkServer(server);
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail("socket", -1);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return Fail("bind", fd);
  if (::listen(fd, backlog) != 0) return Fail("listen", fd);
  std::lock_guard lock(ServerLock);
  Servers[server] = fd + 1;
  return true;
}

void CloseNetworkServer(int server) {
  if (!ValidServer(server)) return;
  int fd = -1;
  {
    std::lock_guard lock(ServerLock);
    fd = Servers[server] - 1;
    Servers[server] = 0;
  }
  if (fd >= 0) ::close(fd);
}

bool IsNetworkServer(int server) {
  if (!ValidServer(server)) return false;
  std::lock_guard lock(ServerLock);
  return Servers[server] != 0;
}

std::string LastNetworkError() { return NetworkError; }

}  // namespace zolt::platform
