// Settings store: the 36 keys of "settings/system_settings.txt", held in AppSettings.
//
// Every lookup reads the file anew (case-insensitive substring match of key + "=", the
// last matching line wins); a missing key is appended with its default; a key is
// rewritten the moment it changes, by replacing the file in one step. The same lookups
// serve the power analyser's calibration file (the exact-key variant).
//
// Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zolt::frame {

// One field per key, in the file's order; text fields hold the value as read.
struct AppSettingsRecord {
  std::string ActiveInstrument = "KVR820";
  std::string CheckWebsiteForUpdate = "Yes";
  std::string DateOfLastUpdateCheck = "01/12/2025";
  std::string Language = "English";
  double TriggerAvg = 0.015;
  std::string SyncSrc = "U1";
  double TriggerLevel = 0.0;
  int32_t ComPort = 1;
  std::string HVAutoOff = "Off";
  std::string ClampModeSetting = "ClampOnIdle";
  double SmallCurrentOffset = 0.0;
  double SlopeOffsetMeasuredVoltage = 0.0;
  double SlopeOffsetMeasuredCurrent = 0.0;
  std::string LiveReadings = "Realtime";
  std::string AutoSave = "Yes";
  std::string UseName = "Yes";
  std::string SaveCSVFileLocation = "results\\";
  std::string SaveCSVFileEnabled = "Yes";
  std::string SavePNGFileLocation = "results\\";
  std::string SavePNGFileEnabled = "Yes";
  std::string SaveFileName = "Sample";
  std::string SaveFileLocation = "savedimages\\";
  std::string DefaultTestSetupOnStart = "Yes";
  std::string FileTestSetup = "default.tsu";
  std::string RunNumber = "0000";
  std::string PrependRunNumber = "No";
  std::string AppendRunNumber = "Yes";
  std::string DateFormat = "YYYYDDMM";
  std::string AppendDate = "Yes";
  std::string AppendTime = "Yes";
  std::string UseSpaces = "No";
  std::string UseUnderscores = "Yes";
  std::string DateDashs = "No";
  std::string TimeDots = "No";
  std::string AlternateDisplayColours = "No";
  double SampleRate = 50.0;

  bool operator==(const AppSettingsRecord&) const = default;
};

inline AppSettingsRecord AppSettings;

// The settings file, relative to the working folder.
inline const std::string SettingsPath = "settings/system_settings.txt";

// The last value found by ReadKeyValue / ReadKeyValueExact, or replaced by WriteKeyValue.
inline std::string KeyValueResult;

// Reads keys 1 to 4, loads the fonts, reads keys 5 to 36, each with its field's current
// value as the default.
void ReadSystemSettings(const std::string& path);

// The value of a key (case-insensitive substring match, last match wins); empty when
// the key is absent or the file cannot be read.
std::string ReadKeyValue(const std::string& path, const std::string& key);
// Exact-key variant: the key is the text before a line's first "="; default "0".
std::string ReadKeyValueExact(const std::string& path, const std::string& key);

// A key's value converted, or the default after appending key=default to the file.
std::string ReadSettingString(const std::string& path, const std::string& defaultValue,
                              const std::string& key);
int32_t ReadSettingInteger(const std::string& path, int32_t defaultValue, const std::string& key);
double ReadSettingDouble(const std::string& path, double defaultValue, const std::string& key);

// Rewrites every line that holds the key as key=value (a key not in the file is not
// added). The file is replaced in one step through a temporary file beside it; a failure
// is reported.
void WriteKeyValue(const std::string& path, const std::string& key, const std::string& value);

// A folder setting (SaveCSVFileLocation, SavePNGFileLocation) as a path the file layer
// takes: the settings hold folders with Windows separators ("results\"), read with "/".
std::string SettingFolderPath(std::string folder);

// The same lookups and rewrites on a settings file's bytes in memory: the value of a key
// (FindKeyValue, FindKeyValueExact), the line a typed reader appends for a missing key,
// and the whole text with the key's lines rewritten.
std::string FindKeyValue(std::string_view text, const std::string& key);
std::string FindKeyValueExact(std::string_view text, const std::string& key);
std::string MissingKeyLine(std::string_view text, const std::string& key, const std::string& defaultText);
std::string ReplaceKeyValue(std::string_view text, const std::string& key, const std::string& value);

}  // namespace zolt::frame
