// What the pages share: the page protocol's modes, the numbers of headings and labels,
// and the layout of a heading and a label.
#include "frame/numbers.h"
#include "platform/gui.h"
#include "screen/colours.h"
#include "settingswindow/pages.h"
#include "settingswindow/settings_window.h"

namespace zolt::settingswindow {

namespace {

constexpr int32_t FirstFreeNumber = 3000;
int32_t NextFreeNumber = FirstFreeNumber;

}  // namespace

PageMode ModeOf(const std::string& mode) {
  const std::string lower = frame::ToLower(mode);
  if (lower == "setup") return PageMode::Setup;
  if (lower == "mainlogic") return PageMode::MainLogic;
  if (lower == "eventgadget") return PageMode::EventGadget;
  return PageMode::Ignored;
}

void ResetFreeNumbers() { NextFreeNumber = FirstFreeNumber; }

void AddHeading(int row, const std::string& text, int width) {
  const int32_t number = NextFreeNumber++;
  platform::TextGadget(number, SettingsWindowNumber, 24, row + 3, width, RowHeight, text,
                       platform::GadgetCentred);
  platform::SetGadgetBackColour(number, screen::ColourScheme.SettingsHeadingColour);
}

void AddLabel(int row, const std::string& text, int width) {
  platform::TextGadget(NextFreeNumber++, SettingsWindowNumber, 24, row + 3, width, RowHeight, text);
}

}  // namespace zolt::settingswindow
