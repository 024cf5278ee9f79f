// Settings store: the key lookups over "settings/system_settings.txt", the readers that
// append a missing key with its default, the start-up read of all 36 keys and the key
// writer.
//
// Sections: line lookups; typed readers; the start-up read; the key writer.
#include "frame/settings.h"

#include <algorithm>
#include <charconv>

#include "frame/fonts.h"
#include "frame/log.h"
#include "frame/numbers.h"
#include "platform/system.h"

namespace zolt::frame {

// ---- line lookups ----

std::string FindKeyValue(std::string_view text, const std::string& key) {
  const std::string pattern = ToLower(key + "=");
  std::string result;
  for (std::string_view line : platform::SplitTextLines(text)) {
    const size_t at = ToLower(line).find(pattern);
    if (at != std::string::npos) result = std::string(line).erase(at, pattern.size());
  }
  return result;
}

std::string FindKeyValueExact(std::string_view text, const std::string& key) {
  std::string result = "0";
  for (std::string_view line : platform::SplitTextLines(text)) {
    const size_t equals = line.find('=');
    if (equals != std::string_view::npos && line.substr(0, equals) == key)
      result = line.substr(equals + 1);
  }
  return result;
}

std::string ReadKeyValue(const std::string& path, const std::string& key) {
  std::string bytes;
  platform::ReadFileBytes(path, bytes);
  KeyValueResult = FindKeyValue(bytes, key);
  return KeyValueResult;
}

std::string ReadKeyValueExact(const std::string& path, const std::string& key) {
  std::string bytes;
  KeyValueResult = platform::ReadFileBytes(path, bytes) ? FindKeyValueExact(bytes, key) : "0";
  return KeyValueResult;
}

// ---- typed readers ----

std::string MissingKeyLine(std::string_view text, const std::string& key,
                           const std::string& defaultText) {
  // A last line without its line end would otherwise swallow the appended key and lose
  // its own value: end it first.
  const bool open = !text.empty() && text.back() != '\r' && text.back() != '\n' && text.back() != '\0';
  return (open ? "\r\n" : "") + key + "=" + defaultText + "\r\n";
}

namespace {

// Looks the key up; when it is missing or empty, appends key=default to the file
// (creating it) and gives the default text back. A file that exists but cannot be read
// gets nothing appended: a default line added after the user's own line would win over
// it once the file is readable again.
std::string ValueOrAppend(const std::string& path, const std::string& key,
                          const std::string& defaultText, bool* found) {
  std::string bytes;
  const bool readable = platform::ReadFileBytes(path, bytes);
  KeyValueResult = FindKeyValue(bytes, key);
  *found = !KeyValueResult.empty();
  if (*found) return KeyValueResult;
  if (readable || !platform::FileExists(path))
    platform::AppendToFile(path, MissingKeyLine(bytes, key, defaultText));
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

std::string ReplaceKeyValue(std::string_view text, const std::string& key, const std::string& value) {
  // A line end inside the value would split it into lines of its own.
  std::string cleanValue;
  for (char c : value)
    if (c != '\r' && c != '\n' && c != '\0') cleanValue.push_back(c);

  const std::string pattern = ToLower(key + "=");
  std::string content;
  for (std::string_view line : platform::SplitTextLines(text)) {
    const size_t at = ToLower(line).find(pattern);
    if (at != std::string::npos) {
      KeyValueResult = std::string(line).erase(at, pattern.size());
      content += key + "=" + cleanValue;
    } else {
      content += line;
    }
    content += "\r\n";
  }
  return content;
}

void WriteKeyValue(const std::string& path, const std::string& key, const std::string& value) {
  std::string bytes;
  if (!platform::ReadFileBytes(path, bytes)) return;
  const std::string content = ReplaceKeyValue(bytes, key, value);

  // The new content goes to a temporary file beside the settings file, which is then
  // renamed over it: the file is never missing or half-written.
  if (!platform::WriteFileReplacing(path, content))
    ReportMessage("Error", "", "'" + path + "' could not be rewritten; the setting " + key + " is not saved.");
}

std::string SettingFolderPath(std::string folder) {
  std::replace(folder.begin(), folder.end(), '\\', '/');
  return folder;
}

}  // namespace zolt::frame
