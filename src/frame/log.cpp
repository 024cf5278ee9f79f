// Message log: time-stamped lines in "log.txt", and ReportMessage, which logs and, for
// the three known report types, shows a message box.
#include "frame/log.h"

#include <cstdio>

#include "frame/numbers.h"
#include "platform/gui.h"

namespace zolt::frame {

namespace {
const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}

std::string FormatLogStamp(const platform::DateTime& when) {
  const int month = (when.Month >= 1 && when.Month <= 12) ? when.Month - 1 : 0;
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02d-%s-%04d %02d:%02d:%02d", when.Day, MonthNames[month],
                when.Year, when.Hour, when.Minute, when.Second);
  return stamp;
}

void AppendLogLine(const std::string& text) {
  const std::string line = "[" + FormatLogStamp(platform::LocalDateTime()) + "] " + text + "\r\n";
  if (!platform::AppendToFile(LogFile, line)) {
    platform::ShowMessageBox("Warning #xxxx", "cannot write to log.txt",
                             platform::MessageIcon::Warning);
  }
}

void ReportMessage(const std::string& type, const std::string& title, const std::string& text) {
  AppendLogLine(type + "," + title + "," + text);
  const std::string kind = ToLower(type);
  platform::MessageIcon icon = platform::MessageIcon::None;
  if (kind == "info") {
    icon = platform::MessageIcon::Information;
  } else if (kind == "warning") {
    icon = platform::MessageIcon::Warning;
  } else if (kind == "error") {
    icon = platform::MessageIcon::Error;
  } else {
    return;
  }
  platform::ShowMessageBox(type + " - " + title, text, icon);
}

}  // namespace zolt::frame
