// Settings store: the key lookups over "settings/system_settings.txt", the readers that
// append a missing key with its default, the start-up read of all 36 keys and the key
// writer.
//
// Sections: line lookups; typed readers; the start-up read; the key writer.
#include "frame/settings.h"

#include <charconv>
#include <vector>

#include "frame/fonts.h"
#include "frame/log.h"
#include "frame/numbers.h"
#include "platform/system.h"

namespace zolt::frame {

// ---- line lookups ----

namespace {

// The value of `key` in the lines: every line that holds key + "=" (letter case
// ignored) gives the line with that first occurrence removed, and the last such line
// wins. Text before the key therefore leads the value.
std::string FindKeyValue(const std::vector<std::string>& lines, const std::string& key) {
  const std::string pattern = ToLower(key + "=");
  std::string result;
  for (const std::string& line : lines) {
    const size_t at = ToLower(line).find(pattern);
    if (at != std::string::npos) result = std::string(line).erase(at, pattern.size());
  }
  return result;
}

}  // namespace

std::string ReadKeyValue(const std::string& path, const std::string& key) {
  std::vector<std::string> lines;
  platform::ReadTextLines(path, lines);
  KeyValueResult = FindKeyValue(lines, key);
  return KeyValueResult;
}

std::string FindKeyValueExact(const std::vector<std::string>& lines, const std::string& key) {
  std::string result = "0";
  for (const std::string& line : lines) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos && line.compare(0, equals, key) == 0) result = line.substr(equals + 1);
  }
  return result;
}

std::string ReadKeyValueExact(const std::string& path, const std::string& key) {
  std::vector<std::string> lines;
  platform::ReadTextLines(path, lines);
  KeyValueResult = FindKeyValueExact(lines, key);
  return KeyValueResult;
}

// ---- typed readers ----

namespace {

// Looks the key up; when it is missing or empty, appends key=default to the file
// (creating it) and gives the default text back. A file that exists but cannot be read
// gets nothing appended: a default line added after the user's own line would win over
// it once the file is readable again.
std::string ValueOrAppend(const std::string& path, const std::string& key,
                          const std::string& defaultText, bool* found) {
  std::vector<std::string> lines;
  const bool readable = platform::ReadTextLines(path, lines);
  KeyValueResult = FindKeyValue(lines, key);
  *found = !KeyValueResult.empty();
  if (*found) return KeyValueResult;
  if (readable || !platform::FileExists(path)) {
    // A last line without its line end would otherwise swallow the appended key and
    // lose its own value: end it first.
    std::string bytes;
    platform::ReadFileBytes(path, bytes);
    const bool open = !bytes.empty() && bytes.back() != '\r' && bytes.back() != '\n' &&
                      bytes.back() != '\0';
    platform::AppendToFile(path, (open ? "\r\n" : "") + key + "=" + defaultText + "\r\n");
  }
  return defaultText;
}

// A real with exactly 18 decimals, correctly rounded and independent of the locale.
std::string EighteenDecimals(double value) {
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 18);
  return std::string(text, result.ptr);
}

}  // namespace

std::string ReadSettingString(const std::string& path, const std::string& defaultValue,
                              const std::string& key) {
  bool found = false;
  return ValueOrAppend(path, key, defaultValue, &found);
}

int32_t ReadSettingInteger(const std::string& path, int32_t defaultValue, const std::string& key) {
  bool found = false;
  const std::string text = ValueOrAppend(path, key, std::to_string(defaultValue), &found);
  if (!found) return defaultValue;
  // The 64-bit reading is cut to its low 32 bits.
  return static_cast<int32_t>(static_cast<uint32_t>(ParseInteger(text)));
}

double ReadSettingDouble(const std::string& path, double defaultValue, const std::string& key) {
  bool found = false;
  const std::string text = ValueOrAppend(path, key, EighteenDecimals(defaultValue), &found);
  return found ? ParseReal(text) : defaultValue;
}

// ---- the start-up read ----

void ReadSystemSettings(const std::string& path) {
  if (platform::FileExists(path)) {
    std::string bytes;
    if (!platform::ReadFileBytes(path, bytes))
      ReportMessage("Error", "Settings",
                    "'" + path + "' cannot be read. The program starts with its default settings "
                    "and leaves the file as it is.");
  } else if (platform::FolderExists(path)) {
    ReportMessage("Error", "Settings",
                  "'" + path + "' is a folder, not a settings file. The program starts with its "
                  "default settings and cannot save them.");
  }
  // A key write cut short by an earlier end of the program left its temporary file there.
  const size_t slash = path.find_last_of('/');
  platform::RemoveLeftoverTemporaries(slash == std::string::npos ? "." : path.substr(0, slash));
  AppSettingsRecord& s = AppSettings;
  s.ActiveInstrument = ReadSettingString(path, s.ActiveInstrument, "activeInstrument");
  s.CheckWebsiteForUpdate = ReadSettingString(path, s.CheckWebsiteForUpdate, "CheckWebsiteForUpdate");
  s.DateOfLastUpdateCheck = ReadSettingString(path, s.DateOfLastUpdateCheck, "DateOfLastUpdateCheck");
  s.Language = ReadSettingString(path, s.Language, "Language");
  LoadProgramFonts();
  s.TriggerAvg = ReadSettingDouble(path, s.TriggerAvg, "PMX_TriggerAvg");
  s.SyncSrc = ReadSettingString(path, s.SyncSrc, "PMX_SyncSrc");
  s.TriggerLevel = ReadSettingDouble(path, s.TriggerLevel, "PMX_TriggerLevel");
  s.ComPort = ReadSettingInteger(path, s.ComPort, "KVR_ComPort");
  s.HVAutoOff = ReadSettingString(path, s.HVAutoOff, "KVR_HVAutoOff");
  s.ClampModeSetting = ReadSettingString(path, s.ClampModeSetting, "KVR_BaseGateClampMode");
  s.SmallCurrentOffset = ReadSettingDouble(path, s.SmallCurrentOffset, "KVR_SmallCurrentOffset");
  s.SlopeOffsetMeasuredVoltage =
      ReadSettingDouble(path, s.SlopeOffsetMeasuredVoltage, "KVR_SlopeOffsetMeasuredVoltage");
  s.SlopeOffsetMeasuredCurrent =
      ReadSettingDouble(path, s.SlopeOffsetMeasuredCurrent, "KVR_SlopeOffsetMeasuredCurrent");
  s.LiveReadings = ReadSettingString(path, s.LiveReadings, "KVR_LiveReadings");
  s.AutoSave = ReadSettingString(path, s.AutoSave, "KVR_AutoSave");
  s.UseName = ReadSettingString(path, s.UseName, "KVR_UseName");
  s.SaveCSVFileLocation = ReadSettingString(path, s.SaveCSVFileLocation, "KVR_SaveCSVFileLocation");
  s.SaveCSVFileEnabled = ReadSettingString(path, s.SaveCSVFileEnabled, "KVR_SaveCSVFileEnabled");
  s.SavePNGFileLocation = ReadSettingString(path, s.SavePNGFileLocation, "KVR_SavePNGFileLocation");
  s.SavePNGFileEnabled = ReadSettingString(path, s.SavePNGFileEnabled, "KVR_SavePNGFileEnabled");
  s.SaveFileName = ReadSettingString(path, s.SaveFileName, "KVR_SaveFileName");
  s.SaveFileLocation = ReadSettingString(path, s.SaveFileLocation, "KVR_SaveFileLocation");
  s.DefaultTestSetupOnStart =
      ReadSettingString(path, s.DefaultTestSetupOnStart, "KVR_DefaultTestSetupOnStart");
  s.FileTestSetup = ReadSettingString(path, s.FileTestSetup, "KVR_FileTestSetup");
  s.RunNumber = ReadSettingString(path, s.RunNumber, "KVR_RunNumber");
  s.PrependRunNumber = ReadSettingString(path, s.PrependRunNumber, "KVR_PrependRunNumber");
  s.AppendRunNumber = ReadSettingString(path, s.AppendRunNumber, "KVR_AppendRunNumber");
  s.DateFormat = ReadSettingString(path, s.DateFormat, "KVR_DateFormat");
  s.AppendDate = ReadSettingString(path, s.AppendDate, "KVR_AppendDate");
  s.AppendTime = ReadSettingString(path, s.AppendTime, "KVR_AppendTime");
  s.UseSpaces = ReadSettingString(path, s.UseSpaces, "KVR_UseSpaces");
  s.UseUnderscores = ReadSettingString(path, s.UseUnderscores, "KVR_UseUnderscores");
  s.DateDashs = ReadSettingString(path, s.DateDashs, "KVR_DateDashs");
  s.TimeDots = ReadSettingString(path, s.TimeDots, "KVR_TimeDots");
  s.AlternateDisplayColours =
      ReadSettingString(path, s.AlternateDisplayColours, "KVR_AlternateDisplayColours");
  s.SampleRate = ReadSettingDouble(path, s.SampleRate, "KVR_SampleRate");
}

// ---- the key writer ----

void WriteKeyValue(const std::string& path, const std::string& key, const std::string& value) {
  std::vector<std::string> lines;
  if (!platform::ReadTextLines(path, lines)) return;

  // A line end inside the value would split it into lines of its own.
  std::string cleanValue;
  for (char c : value)
    if (c != '\r' && c != '\n' && c != '\0') cleanValue.push_back(c);

  const std::string pattern = ToLower(key + "=");
  std::string content;
  for (const std::string& line : lines) {
    const size_t at = ToLower(line).find(pattern);
    if (at != std::string::npos) {
      KeyValueResult = std::string(line).erase(at, pattern.size());
      content += key + "=" + cleanValue;
    } else {
      content += line;
    }
    content += "\r\n";
  }

  // The new content goes to a temporary file beside the settings file, which is then
  // renamed over it: the file is never missing or half-written.
  if (!platform::WriteFileReplacing(path, content))
    ReportMessage("Error", "", "'" + path + "' could not be rewritten; the setting " + key + " is not saved.");
}

}  // namespace zolt::frame
