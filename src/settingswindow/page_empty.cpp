// The six pages that hold nothing yet: one heading saying so; no events, no periodic work.
#include "frame/translate.h"
#include "settingswindow/pages.h"

namespace zolt::settingswindow {

namespace {

void EmptyPage(const std::string& mode) {
  if (ModeOf(mode) == PageMode::Setup) AddHeading(24, frame::Translate("Page Deliberately Empty"));
}

}  // namespace

void SettingsPageTestGraphMode(const std::string& mode, int32_t) { EmptyPage(mode); }
void SettingsPageSweepLiveValues(const std::string& mode, int32_t) { EmptyPage(mode); }
void SettingsPageGraph(const std::string& mode, int32_t) { EmptyPage(mode); }
void SettingsPageCursors(const std::string& mode, int32_t) { EmptyPage(mode); }
void SettingsPageKeyMeasurement(const std::string& mode, int32_t) { EmptyPage(mode); }
void SettingsPageSweepSettings(const std::string& mode, int32_t) { EmptyPage(mode); }

}  // namespace zolt::settingswindow
