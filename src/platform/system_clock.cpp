// System part: the millisecond clock, sleeps and the local date and time.
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/system.h"

namespace zolt::platform {

namespace {
const auto ClockStart = std::chrono::steady_clock::now();
}

int64_t ElapsedMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               ClockStart)
      .count();
}

int64_t ElapsedMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               ClockStart)
      .count();
}

void SleepUntilMicroseconds(int64_t microseconds) {
  std::this_thread::sleep_until(ClockStart + std::chrono::microseconds(microseconds));
}

void Delay(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DateTime LocalDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DateTime when;
  when.Year = local.tm_year + 1900;
  when.Month = local.tm_mon + 1;
  when.Day = local.tm_mday;
  when.Hour = local.tm_hour;
  when.Minute = local.tm_min;
  when.Second = local.tm_sec;
  return when;
}

}  // namespace zolt::platform
