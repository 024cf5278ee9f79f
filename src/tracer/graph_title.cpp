// The graph-title window: its controls, and "Update" storing the title.
#include "tracer/graph_title.h"

#include <string>

#include "frame/app.h"
#include "frame/csv.h"
#include "frame/log.h"
#include "frame/translate.h"
#include "platform/gui.h"
#include "platform/system.h"
#include "screen/colours.h"
#include "frame/modal_window.h"
#include "tracer/run_file.h"

namespace zolt::tracer {

namespace {

constexpr int WindowWidth = 720, WindowHeight = 320;
constexpr int TitleField = 303, CancelButton = 304, UpdateButton = 305;
constexpr int HeadingText = 328, NoteText = 329, LabelText = 330;

void MakeControls() {
  using frame::Translate;
  platform::TextGadget(HeadingText, GraphTitleWindow, 24, 27, 672, 20,
                       Translate("Modify Graph Title and options"), platform::GadgetCentred);
  platform::SetGadgetBackColour(HeadingText, screen::ColourScheme.SettingsHeadingColour);
  platform::TextGadget(NoteText, GraphTitleWindow, 24, 51, 672, 20,
                       Translate("Note: This will modify the 'GraphTitle' field in the CSV file "
                                 "in the '/sampleruns_KVR' folder only."),
                       platform::GadgetCentred);
  platform::TextGadget(LabelText, GraphTitleWindow, 24, 75, 96, 20, Translate("Graph Title") + " --->");
  platform::StringGadget(TitleField, GraphTitleWindow, 120, 72, 480, 20, "--");
  platform::ButtonGadget(UpdateButton, GraphTitleWindow, 120, 120, 120, 40, Translate("Update"));
  platform::ButtonGadget(CancelButton, GraphTitleWindow, 480, 120, 120, 40, Translate("Cancel"));
}

// Why the title could not be written into the file that holds the run on display, told
// once the window has closed; empty when it was written or no file holds the run.
std::string TitleNotWritten;

// The title as typed (no trimming, no limit): kept for the graph and later runs, and
// written into the file that holds the run on display, whose other bytes stay as they
// are. A run on display that no file holds takes it for later runs only. A file that
// cannot take it (write-protected, a full disk ...) is left as it is, and the graph goes
// on showing the title the file holds.
void StoreTitle() {
  const std::string title = platform::GetGadgetText(TitleField);
  if (DisplayedRunFile > 0) {
    const std::string path = SampleRunFolder + "/" + frame::MakeCsvFileName(DisplayedRunFile);
    const frame::CellUpdate update = frame::UpdateCsvCell(path, "GraphTitle", 1, title);
    if (update != frame::CellUpdate::Written) {
      using frame::Translate;
      TitleNotWritten = Translate("The title could not be written into") + " " + path + ": " +
                        (update == frame::CellUpdate::NoCell ? Translate("its first data line holds no title cell")
                                                             : platform::LastFileError()) +
                        ". " + Translate("The graph shows the title the file holds.");
      return;
    }
  }
  GraphTitleText = title;
}

bool OnGadget(const platform::WindowEvent& event) {
  if (event.Gadget == UpdateButton) {
    StoreTitle();
    return true;
  }
  return event.Gadget == CancelButton;
}

}  // namespace

void OpenGraphTitleWindow() {
  if (!platform::OpenWindow(GraphTitleWindow, 0, 0, WindowWidth, WindowHeight,
                            frame::Translate("Graph Title"),
                            platform::WindowTitleBar | platform::WindowSystemMenu |
                                platform::WindowCentred,
                            frame::MainWindow)) {
    frame::ReportMessage("Error", "", "KVR820_GraphTitleWindow won't start");
    return;
  }
  frame::LoadLanguageTable(frame::LanguagesFile);
  MakeControls();
  platform::SetGadgetText(TitleField, GraphTitleText);
  TitleNotWritten.clear();
  frame::RunModalWindow(GraphTitleWindow, OnGadget);
  frame::CloseModalWindow(GraphTitleWindow);
  if (!TitleNotWritten.empty()) frame::ReportMessage("Error", frame::Translate("Title not written"), TitleNotWritten);
}

}  // namespace zolt::tracer
