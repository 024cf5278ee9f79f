// TEMPORARY stand-ins for the headless gui and the draw part, used only until the
// platform layer lands on main; every definition is weak, so the real ones win as soon
// as they are linked. Delete this file then.
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/gui_headless.h"

namespace zolt::platform {

namespace {
std::vector<headless::ShownMessage>& Shown() {
  static std::vector<headless::ShownMessage> shown;
  return shown;
}
std::vector<headless::HelpRequest>& Helps() {
  static std::vector<headless::HelpRequest> helps;
  return helps;
}
}  // namespace

__attribute__((weak)) void ShowMessageBox(const std::string& title, const std::string& text,
                                          MessageIcon icon) {
  Shown().push_back({title, text, icon});
}
__attribute__((weak)) void OpenHelp(const std::string& file, const std::string& topic) {
  Helps().push_back({file, topic});
}
__attribute__((weak)) bool LoadFont(int, const std::string&, int, int) { return true; }

namespace headless {
__attribute__((weak)) void Reset() {
  Shown().clear();
  Helps().clear();
}
__attribute__((weak)) const std::vector<HelpRequest>& HelpRequests() { return Helps(); }
__attribute__((weak)) const std::vector<ShownMessage>& MessagesShown() { return Shown(); }
}  // namespace headless

}  // namespace zolt::platform
