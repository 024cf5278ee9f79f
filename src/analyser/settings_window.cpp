// The settings form of window 269: the trigger and synchronisation lists, preselected
// from the settings when the window opens and stored the moment one changes, above the
// calibration grid with its "Force" column.
//
// Sections: the lists; opening the form; events.
#include <cmath>
#include <string>

#include "analyser/window.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "platform/gui.h"

namespace zolt::analyser {

// ---- the lists ----

namespace {

struct ListItem {
  const char* Text;
  double Value;
};

constexpr ListItem AveragingTimes[] = {{"15ms (default)", 0.015}, {"30ms", 0.03}, {"50ms", 0.05},
                                       {"100ms", 0.1},            {"1 s", 1.0},   {"2 s", 2.0},
                                       {"5 s", 5.0},              {"10 s", 10.0}};

constexpr ListItem TriggerLevels[] = {
    {"150%", 1.5},   {"125%", 1.25},  {"100%", 1.0},         {"90%", 0.9},    {"80%", 0.8},    {"70%", 0.7},
    {"60%", 0.6},    {"50%", 0.5},    {"40%", 0.4},          {"30%", 0.3},    {"20%", 0.2},    {"10%", 0.1},
    {"5%", 0.05},    {"0% (default)", 0.0}, {"-5%", -0.05},  {"-10%", -0.1},  {"-20%", -0.2},  {"-30%", -0.3},
    {"-40%", -0.4},  {"-50%", -0.5},  {"-60%", -0.6},        {"-70%", -0.7},  {"-80%", -0.8},  {"-90%", -0.9},
    {"-100%", -1.0}, {"-125%", -1.25}, {"-150%", -1.5}};
constexpr int TriggerLevelZero = 13;

// The sync sources as shown and as stored.
constexpr const char* SyncSourceItems[] = {"U1 (default)", "I1", "Fixed time"};
constexpr const char* SyncSources[] = {"U1", "I1", "Fixed"};

// The first item whose value lies strictly within `fraction` of `value`; -1 for none.
template <size_t N>
int ItemNear(const ListItem (&items)[N], double value, double fraction) {
  for (size_t i = 0; i < N; ++i) {
    const double a = items[i].Value * (1 - fraction), b = items[i].Value * (1 + fraction);
    if (std::fmin(a, b) < value && value < std::fmax(a, b)) return static_cast<int>(i);
  }
  return -1;
}

int SyncSourceItem(const std::string& source) {
  for (int i = 0; i < 3; ++i)
    if (source == SyncSources[i]) return i;
  return -1;
}

int SlopeItem(const std::string& slope) {
  const std::string lower = frame::ToLower(slope);
  if (lower == "rising") return 0;
  if (lower == "falling") return 1;
  return -1;
}

template <size_t N>
void AddItems(int list, const ListItem (&items)[N]) {
  for (const ListItem& item : items) platform::AddGadgetItem(list, item.Text);
}

}  // namespace

// ---- opening the form ----

void OpenPowerAnalyserSettingsWindow() {
  // Taller than the calibration form's 950, so that the save-to-device button at the foot
  // of the form (y 938, 40 high) is on screen whole.
  if (!OpenPmxWindow(990)) return;
  using platform::GadgetRightAligned;
  int nextText = FirstPlainText;
  platform::TextGadget(nextText++, PmxWindow, 10, 13, 600, 45, "PMX400 Settings (Sync etc)");

  struct Row {
    int Y;
    const char* Label;
    int List;
    const char* Description;
  };
  constexpr Row Rows[] = {
      {63, "Tavg[s]: ", TriggerAvgList, "15ms... 10s [minimum average time]"},
      {88, "Src: ", SyncSrcList, "Sync source"},
      {113, "TrigLvl: ", TriggerLevelList, "Trigger level (% of measuring range)"},
      {138, "Slope: ", TriggerSlopeList, "Trigger slope"},
      {163, "Filter: ", TriggerFilterList, "Trigger filter (filter cut-off frequency)"},
  };
  for (const Row& row : Rows) {
    platform::TextGadget(nextText++, PmxWindow, 10, row.Y, 100, 20, row.Label, GadgetRightAligned);
    platform::ComboBoxGadget(row.List, PmxWindow, 110, row.Y - 3, 190, 20);
    platform::TextGadget(nextText++, PmxWindow, 310, row.Y, 300, 20, row.Description);
  }
  AddItems(TriggerAvgList, AveragingTimes);
  for (const char* item : SyncSourceItems) platform::AddGadgetItem(SyncSrcList, item);
  AddItems(TriggerLevelList, TriggerLevels);
  platform::AddGadgetItem(TriggerSlopeList, "RISING (default)");
  platform::AddGadgetItem(TriggerSlopeList, "FALLING");
  platform::AddGadgetItem(TriggerFilterList, "75Hz (default)");
  platform::AddGadgetItem(TriggerFilterList, "300Hz");

  CreateCalibrationGrid(125, true, nextText);
  platform::ButtonGadget(CreateCalFileButton, PmxWindow, 10, 888, 300, 40, "Create new 'PMX_cal.txt' file");
  platform::ButtonGadget(SaveCalToDeviceButton, PmxWindow, 10, 938, 300, 40, "Save 'PMX_cal.txt' to device");

  // A stored value that falls in no item's window leaves its list without a choice.
  const frame::AppSettingsRecord& s = frame::AppSettings;
  platform::SetGadgetState(TriggerAvgList, ItemNear(AveragingTimes, s.TriggerAvg, 0.01));
  platform::SetGadgetState(SyncSrcList, SyncSourceItem(s.SyncSrc));
  const int level = std::fabs(s.TriggerLevel) < 0.01 ? TriggerLevelZero : ItemNear(TriggerLevels, s.TriggerLevel, 0.001);
  platform::SetGadgetState(TriggerLevelList, level);
  platform::SetGadgetState(TriggerSlopeList, SlopeItem(PmxTriggerSlope));
}

// ---- events ----

namespace {

// The chosen item of a list, or -1.
int Chosen(int list) { return platform::GetGadgetState(list); }
bool Within(int item, int count) { return item >= 0 && item < count; }

// Each list stores its setting the moment it changes; an item outside the table leaves
// the value and writes it again.
void ServeSyncList(int list) {
  frame::AppSettingsRecord& s = frame::AppSettings;
  const int item = Chosen(list);
  if (list == TriggerAvgList) {
    if (Within(item, 8)) s.TriggerAvg = AveragingTimes[item].Value;
    frame::WriteKeyValue(frame::SettingsPath, "PMX_TriggerAvg", frame::FixedDecimals(s.TriggerAvg, 3));
  } else if (list == SyncSrcList) {
    if (Within(item, 3)) s.SyncSrc = SyncSources[item];
    frame::WriteKeyValue(frame::SettingsPath, "PMX_SyncSrc", s.SyncSrc);
  } else if (list == TriggerLevelList) {
    if (Within(item, 27)) s.TriggerLevel = TriggerLevels[item].Value;
    frame::WriteKeyValue(frame::SettingsPath, "PMX_TriggerLevel", frame::FixedDecimals(s.TriggerLevel, 3));
  }
  // The slope and filter lists have no setting behind them: a choice there stays shown.
}

}  // namespace

void ServePowerAnalyserWindowEvent(int gadget) {
  if (gadget == TriggerAvgList || gadget == SyncSrcList || gadget == TriggerLevelList) {
    ServeSyncList(gadget);
    return;
  }
  ServeCalibrationEvent(gadget);
}

}  // namespace zolt::analyser
