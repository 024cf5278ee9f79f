// Message log ("log.txt") and ReportMessage.
//
// ReportMessage appends "[dd-Mon-yyyy hh:mm:ss] type,title,text" to the log and, for
// the types "info", "warning" and "error" (compared in lower case), shows a message
// box titled type + " - " + title. Main thread only.
#pragma once

#include <string>

#include "platform/system.h"

namespace zolt::frame {

inline const std::string LogFile = "log.txt";

void ReportMessage(const std::string& type, const std::string& title, const std::string& text);

// Appends "[" + stamp + "] " + text + CR LF to "log.txt".
void AppendLogLine(const std::string& text);

// "dd-Mon-yyyy hh:mm:ss" for the given local time.
std::string FormatLogStamp(const platform::DateTime& when);

}  // namespace zolt::frame
