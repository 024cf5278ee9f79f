// The TCP listening socket: reachable on the loopback interface only; a port in use fails
// with the reason.
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/system.h"

namespace zolt::platform {
namespace {

// The local addresses listening on a port, as /proc/net/tcp shows them (hex, state 0A).
std::string ListeningAddresses(int port) {
  std::ifstream table("/proc/net/tcp");
  std::string line, slot, local, remote, state, addresses;
  while (std::getline(table, line) && std::istringstream(line) >> slot >> local >> remote >> state)
    if (state == "0A" && std::stoi(local.substr(local.find(':') + 1), nullptr, 16) == port)
      addresses += local.substr(0, local.find(':')) + " ";
  return addresses;
}

TEST(NetworkServer, ListensOnLoopbackOnlyAndReportsAPortInUse) {
  const int port = 40000 + ::getpid() % 20000;
  ASSERT_TRUE(OpenNetworkServer(4, port, 100)) << LastNetworkError();
  EXPECT_EQ(ListeningAddresses(port), "0100007F ");
  EXPECT_FALSE(OpenNetworkServer(5, port, 100));
  EXPECT_NE(LastNetworkError().find("bind"), std::string::npos);
  EXPECT_FALSE(IsNetworkServer(5));
  CloseNetworkServer(4);
  EXPECT_EQ(ListeningAddresses(port), "");
}

}  // namespace
}  // namespace zolt::platform
