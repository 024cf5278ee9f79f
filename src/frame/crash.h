// Crash report: the process-wide handler of unhandled faults.
//
// ErrorHandler builds the report, appends it to "bugreport.txt", shows it and ends the
// program. It runs in whichever thread faulted, inside the platform's fault handler,
// so it only uses fixed buffers and async-signal-safe calls.
#pragma once

#include <cstddef>

#include "platform/system.h"

namespace zolt::frame {

inline constexpr const char* BugReportFile = "bugreport.txt";
inline constexpr const char* SupportEmail = "support@brevaxo.com";

// Writes the report text (lines separated by CR, each ending in CR) into `out`, which
// holds `capacity` bytes; returns its length. Allocation-free.
size_t BuildCrashReport(const platform::FaultInfo& fault, char* out, size_t capacity);

// Writes the record (asterisk line, date line, report block) for a fault at the given
// time into `out`; returns its length. Allocation-free.
size_t BuildCrashRecord(const platform::FaultInfo& fault, const platform::DateTime& when,
                        char* out, size_t capacity);

// The fault callback: appends the record to "bugreport.txt", shows the report and ends
// the process.
[[noreturn]] void ErrorHandler(const platform::FaultInfo& fault);

}  // namespace zolt::frame
