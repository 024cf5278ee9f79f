// Update check: the download of a URL into a file (libcurl's easy interface), the
// once-a-day notice and the start-up's two downloads.
#include "frame/update.h"

#include <curl/curl.h>

#include <cstdio>
#include <mutex>

#include "frame/app.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "platform/gui.h"
#include "platform/system.h"

#ifndef ZOLT_UPDATE_SERVER
#define ZOLT_UPDATE_SERVER ""
#endif

namespace zolt::frame {

std::string ConfiguredUpdateServer() { return ZOLT_UPDATE_SERVER; }

// ---- download ----

namespace {

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
  return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

bool IsWebAddress(const std::string& url) {
  return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

}  // namespace

bool DownloadToFile(const std::string& url, const std::string& path) {
  if (!IsWebAddress(url)) return false;
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  const std::string partial = path + ".download";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return false;

  bool ok = false;
  if (CURL* curl = curl_easy_init()) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/5.0 Gecko/41.0 Firefox/41.0");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 30000L);
    // A server that stops sending, or trickles, must not hold the start-up for ever.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, DownloadLimits.StallSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, DownloadLimits.TransferSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    ok = result == CURLE_OK && status < 400;
  }
  ok = std::fclose(file) == 0 && ok;
  if (ok) ok = platform::RenameFile(partial, path);
  if (!ok) platform::DeleteFile(partial);
  return ok;
}

// ---- the notice ----

std::string UpdateNoticeText(std::string_view bytes) {
  std::string text;
  for (std::string_view line : platform::SplitTextLines(bytes)) (text += line) += '\n';
  return text;
}

void ShowUpdateNotice(const std::string& path) {
  const platform::DateTime now = platform::LocalDateTime();
  char today[16];
  std::snprintf(today, sizeof today, "%02d/%02d/%04d", now.Day, now.Month, now.Year);
  if (AppSettings.DateOfLastUpdateCheck == today ||
      ToLower(AppSettings.CheckWebsiteForUpdate) != "yes")
    return;

  std::string bytes;
  if (platform::ReadFileBytes(path, bytes))
    platform::ShowMessageBox("Update Checker", UpdateNoticeText(bytes), platform::MessageIcon::Information);
  WriteKeyValue(SettingsPath, "DateOfLastUpdateCheck", today);
  // Kept in memory too, so that the second download of the same start shows nothing more.
  AppSettings.DateOfLastUpdateCheck = today;
}

// ---- the start-up's downloads ----

void RunUpdateCheck() {
  if (DownloadToFile(AppInfo.UpdateUrl, UpdateNoticeFile)) ShowUpdateNotice(UpdateNoticeFile);
  AppInfo.UpdateUrl = UpdateServer + ManualQuery;
  if (DownloadToFile(AppInfo.UpdateUrl, AppInfo.ManualPath)) ShowUpdateNotice(UpdateNoticeFile);
}

}  // namespace zolt::frame
