// Update check: at the curve tracer's start-up the update notice and the user manual
// are fetched from the maker's web server, and the notice is shown at most once a day
// while "CheckWebsiteForUpdate" is "yes" (any letter case).
//
// Main thread only; the downloads block it.
#pragma once

#include <string>
#include <string_view>

namespace zolt::frame {

inline constexpr const char* UpdateNoticeFile = "updatecheck.txt";
inline constexpr const char* UpdateNoticeQuery = "/download.php?file=updater/ZOLT25017_KVR820.txt";
inline constexpr const char* ManualQuery = "/download.php?file=usermanuals/KVR820_MANUAL.chm";

// The maker's web server: scheme and host, no trailing slash. Set at start-up from the
// build's configuration; empty means that no download is tried.
inline std::string UpdateServer;

// The server address the program was built with (the ZOLT_UPDATE_SERVER setting).
std::string ConfiguredUpdateServer();

// How long a transfer may go on: it ends when less than one byte a second has come for
// StallSeconds, and in any case after TransferSeconds.
struct DownloadLimitsRecord {
  long StallSeconds = 30;
  long TransferSeconds = 600;
};

inline DownloadLimitsRecord DownloadLimits;

// Fetches a URL into a file: redirects followed, 30 s connect time-out, DownloadLimits
// for the transfer. The data goes to a temporary file beside the target, which replaces the
// target only when the transfer succeeded with a status below 400; otherwise the target
// is left as it was. Only http and https addresses are fetched.
bool DownloadToFile(const std::string& url, const std::string& path);

// Shows the notice file in a box when the last check was not today and the check is
// enabled, then records today's date in the settings file and in AppSettings, so that
// the notice is shown at most once a day.
void ShowUpdateNotice(const std::string& path);
// The text the notice box shows for the notice file's bytes: each of its lines followed
// by a line feed.
std::string UpdateNoticeText(std::string_view bytes);

// The start-up's two downloads: the notice from AppInfo.UpdateUrl into
// "updatecheck.txt", then the manual into AppInfo.ManualPath; the notice is offered
// after each success (and so shown once at most). Failures are silent.
void RunUpdateCheck();

}  // namespace zolt::frame
