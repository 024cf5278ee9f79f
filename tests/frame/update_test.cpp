// Update check against a small HTTP server on 127.0.0.1 that serves scripted answers.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame/app.h"
#include "frame/settings.h"
#include "frame/update.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "support/temp_folder.h"

namespace zolt::frame {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// Answers each request with the scripted response of its path (404 when none) and
// records the request lines and user agents it saw.
class ScriptedServer {
 public:
  ScriptedServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedServer() {
    stop_ = true;
    thread_.join();
    for (int client : held_) ::close(client);
    ::close(listener_);
  }

  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

  void Answer(const std::string& path, int status, const std::string& body,
              const std::string& extraHeaders = "") {
    std::lock_guard<std::mutex> lock(mutex_);
    char head[128];
    std::snprintf(head, sizeof head, "HTTP/1.1 %d Scripted\r\nContent-Length: %zu\r\n", status,
                  body.size());
    responses_[path] = head + extraHeaders + "Connection: close\r\n\r\n" + body;
  }

  // Answers the path with the start of a response (no "Connection: close") and then holds
  // the connection, silent.
  void Stall(const std::string& path, const std::string& start) {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_[path] = start;
  }

  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  std::vector<std::string> UserAgents() {
    std::lock_guard<std::mutex> lock(mutex_);
    return agents_;
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 20) <= 0) continue;
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = ::read(client, buffer, sizeof buffer);
        if (got <= 0) break;
        request.append(buffer, static_cast<size_t>(got));
      }
      const size_t start = request.find(' ') + 1;
      const std::string path = request.substr(start, request.find(' ', start) - start);
      std::string response = "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found";
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(path);
        const size_t agent = request.find("User-Agent: ");
        if (agent != std::string::npos)
          agents_.push_back(request.substr(agent + 12, request.find("\r\n", agent) - agent - 12));
        const auto scripted = responses_.find(path);
        if (scripted != responses_.end()) response = scripted->second;
      }
      (void)!::write(client, response.data(), response.size());
      if (response.find("Connection: close") != std::string::npos)
        ::close(client);
      else
        held_.push_back(client);
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::map<std::string, std::string> responses_;
  std::vector<std::string> requests_;
  std::vector<std::string> agents_;
  std::vector<int> held_;
};

std::string Today() {
  const platform::DateTime now = platform::LocalDateTime();
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", now.Day, now.Month, now.Year);
  return text;
}

const char* const Notice = "Version 25.018 is out.\r\nSee the web site.\r\n";
const char* const OldSettings = "CheckWebsiteForUpdate=Yes\r\nDateOfLastUpdateCheck=01/12/2025\r\n";

class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    AppSettings = AppSettingsRecord{};
    AppInfo = AppInfoRecord{};
    AppInfo.ManualPath = "help/KVR820_MANUAL.chm";
    UpdateServer = server_.Address();
    AppInfo.UpdateUrl = UpdateServer + UpdateNoticeQuery;
    WriteFile(SettingsPath, OldSettings);
    testing::MakeFolder("help");
  }
  void TearDown() override {
    UpdateServer.clear();
    DownloadLimits = {};
  }

  const std::vector<platform::headless::ShownMessage>& Shown() {
    return platform::headless::MessagesShown();
  }

  testing::TempFolder folder_;
  ScriptedServer server_;
};

TEST_F(UpdateTest, TwoDownloadsShowTheNoticeOnceAndRecordToday) {
  server_.Answer(UpdateNoticeQuery, 200, Notice);
  server_.Answer(ManualQuery, 200, std::string("MANUAL\0\x01\x02", 9));
  RunUpdateCheck();

  EXPECT_EQ(ReadFile(UpdateNoticeFile), Notice);
  EXPECT_EQ(ReadFile("help/KVR820_MANUAL.chm"), std::string("MANUAL\0\x01\x02", 9));
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].Title, "Update Checker");
  EXPECT_EQ(Shown()[0].Text, "Version 25.018 is out.\nSee the web site.\n");
  EXPECT_EQ(Shown()[0].Icon, platform::MessageIcon::Information);
  EXPECT_EQ(ReadKeyValue(SettingsPath, "DateOfLastUpdateCheck"), Today());
  EXPECT_EQ(AppSettings.DateOfLastUpdateCheck, Today());
  EXPECT_EQ(AppInfo.UpdateUrl, server_.Address() + ManualQuery);
  ASSERT_EQ(server_.UserAgents().size(), 2u);
  for (const std::string& agent : server_.UserAgents())
    EXPECT_EQ(agent, "Mozilla/5.0 Gecko/41.0 Firefox/41.0");
  EXPECT_FALSE(testing::Exists("updatecheck.txt.download"));
}

TEST_F(UpdateTest, DisabledCheckStillDownloadsButShowsAndRecordsNothing) {
  server_.Answer(UpdateNoticeQuery, 200, Notice);
  server_.Answer(ManualQuery, 200, "manual");
  AppSettings.CheckWebsiteForUpdate = "No";
  RunUpdateCheck();
  EXPECT_EQ(ReadFile(UpdateNoticeFile), Notice);
  EXPECT_EQ(ReadFile("help/KVR820_MANUAL.chm"), "manual");
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(ReadFile(SettingsPath), OldSettings);
}

TEST_F(UpdateTest, NoticeIsShownOncePerDayAndEnabledInAnyLetterCase) {
  WriteFile(UpdateNoticeFile, "notice\r\n");
  AppSettings.CheckWebsiteForUpdate = "YES";
  ShowUpdateNotice(UpdateNoticeFile);
  ShowUpdateNotice(UpdateNoticeFile);  // the same day: nothing more
  EXPECT_EQ(Shown().size(), 1u);

  AppSettings.DateOfLastUpdateCheck = "01/12/2025";
  AppSettings.CheckWebsiteForUpdate = "yes";
  ShowUpdateNotice(UpdateNoticeFile);
  EXPECT_EQ(Shown().size(), 2u);
}

TEST_F(UpdateTest, UnreadableNoticeShowsNothingButRecordsTheDate) {
  ShowUpdateNotice("missing.txt");
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(ReadKeyValue(SettingsPath, "DateOfLastUpdateCheck"), Today());
}

TEST_F(UpdateTest, ErrorStatusLeavesTheLocalFilesIntact) {
  WriteFile(UpdateNoticeFile, "old notice");
  WriteFile("help/KVR820_MANUAL.chm", "old manual");
  server_.Answer(UpdateNoticeQuery, 404, "missing");
  server_.Answer(ManualQuery, 500, "broken");
  RunUpdateCheck();
  EXPECT_EQ(ReadFile(UpdateNoticeFile), "old notice");
  EXPECT_EQ(ReadFile("help/KVR820_MANUAL.chm"), "old manual");
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(ReadFile(SettingsPath), OldSettings);
  EXPECT_FALSE(testing::Exists("help/KVR820_MANUAL.chm.download"));
}

TEST_F(UpdateTest, StalledTransferEndsAndKeepsTheFile) {
  WriteFile("help/KVR820_MANUAL.chm", "old manual");
  // Silent from the start, and silent after part of the answer.
  server_.Stall("/silent", "");
  server_.Stall(ManualQuery, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\npart");
  DownloadLimits.StallSeconds = 1;
  EXPECT_FALSE(DownloadToFile(UpdateServer + "/silent", "help/KVR820_MANUAL.chm"));
  EXPECT_FALSE(DownloadToFile(UpdateServer + ManualQuery, "help/KVR820_MANUAL.chm"));
  EXPECT_EQ(ReadFile("help/KVR820_MANUAL.chm"), "old manual");
  EXPECT_FALSE(testing::Exists("help/KVR820_MANUAL.chm.download"));
}

TEST_F(UpdateTest, RedirectsAreFollowed) {
  server_.Answer(UpdateNoticeQuery, 302, "", "Location: /moved/notice.txt\r\n");
  server_.Answer("/moved/notice.txt", 200, Notice);
  EXPECT_TRUE(DownloadToFile(AppInfo.UpdateUrl, UpdateNoticeFile));
  EXPECT_EQ(ReadFile(UpdateNoticeFile), Notice);
  EXPECT_EQ(server_.Requests(), (std::vector<std::string>{UpdateNoticeQuery, "/moved/notice.txt"}));
}

TEST_F(UpdateTest, ManualGoesToTheModelsOwnManualPath) {
  AppInfo.ManualPath = "help/DRL300_MANUAL.chm";
  server_.Answer(ManualQuery, 200, "kvr manual");
  RunUpdateCheck();
  EXPECT_EQ(ReadFile("help/DRL300_MANUAL.chm"), "kvr manual");
}

TEST_F(UpdateTest, EmptyServerFailsBothDownloadsAtOnce) {
  UpdateServer.clear();
  AppInfo.UpdateUrl = UpdateServer + UpdateNoticeQuery;
  WriteFile("help/KVR820_MANUAL.chm", "old manual");
  const int64_t start = platform::ElapsedMilliseconds();
  RunUpdateCheck();
  EXPECT_LT(platform::ElapsedMilliseconds() - start, 1000);
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_FALSE(testing::Exists(UpdateNoticeFile));
  EXPECT_EQ(ReadFile("help/KVR820_MANUAL.chm"), "old manual");
  EXPECT_TRUE(Shown().empty());
}

TEST_F(UpdateTest, RefusedConnectionFailsAndKeepsTheFile) {
  WriteFile("help/KVR820_MANUAL.chm", "old manual");
  // A port that was just free: nothing listens on it.
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(probe);
  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + ManualQuery;
  EXPECT_FALSE(DownloadToFile(url, "help/KVR820_MANUAL.chm"));
  EXPECT_EQ(ReadFile("help/KVR820_MANUAL.chm"), "old manual");
  EXPECT_FALSE(DownloadToFile("file:///etc/hostname", "copy.txt"));
  EXPECT_FALSE(testing::Exists("copy.txt"));
}

}  // namespace
}  // namespace zolt::frame
