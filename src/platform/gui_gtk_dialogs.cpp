// GTK gui: message boxes, the folder chooser and the help viewer.
//
// Message boxes and the folder chooser are modal GTK dialogs over the program's active
// window (or its main window). While one runs, the activation moving to it is not
// reported as a deactivation of the program's window, and when it closes the window
// under it is active again. Help opens in a separate viewer process and never blocks.
//
// Sections: dialog helpers; paths; message boxes; folder chooser; help.
#include <cstdio>

#include "platform/gui.h"
#include "platform/gui_gtk_internal.h"
#include "platform/system.h"

namespace zolt::platform {

using namespace gtkgui;

namespace {

// ---- dialog helpers ----

// The window a dialog belongs to: the active program window, else the lowest-numbered
// visible one.
int DialogOwner() {
  if (ValidWindow(Gui().ActiveWindow)) return Gui().ActiveWindow;
  for (int w = 0; w < MaxWindows; ++w) {
    if (ValidWindow(w) && gtk_widget_get_visible(Gui().Windows[w].Toplevel)) return w;
  }
  return -1;
}

GtkWindow* OwnerToplevel(int owner) {
  return owner >= 0 ? GTK_WINDOW(Gui().Windows[owner].Toplevel) : nullptr;
}

// A termination signal answers the dialog as its close box would, so that the program
// goes on to end.
gboolean AnswerOnStopSignal(gpointer dialog) {
  if (StopSignalReceived() != 0) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
  return G_SOURCE_CONTINUE;
}

// Runs a dialog modally; afterwards the owner is the active window again.
int RunDialog(GtkWidget* dialog, int owner) {
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), owner >= 0 ? GTK_WIN_POS_CENTER_ON_PARENT
                                                         : GTK_WIN_POS_CENTER);
  ++Gui().DialogDepth;
  const guint watch = g_timeout_add(100, AnswerOnStopSignal, dialog);
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  g_source_remove(watch);
  gtk_widget_destroy(dialog);
  --Gui().DialogDepth;
  if (ValidWindow(owner)) {
    Gui().ActiveWindow = owner;
    gtk_window_present(OwnerToplevel(owner));
  }
  return response;
}

GtkMessageType MessageType(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return GTK_MESSAGE_INFO;
    case MessageIcon::Warning: return GTK_MESSAGE_WARNING;
    case MessageIcon::Error: return GTK_MESSAGE_ERROR;
    case MessageIcon::None: break;
  }
  return GTK_MESSAGE_OTHER;
}

// The icon theme's image for a message type; nullptr for a box without an icon.
const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return "dialog-information";
    case MessageIcon::Warning: return "dialog-warning";
    case MessageIcon::Error: return "dialog-error";
    case MessageIcon::None: break;
  }
  return nullptr;
}

// ---- paths ----

std::string AbsolutePath(const std::string& path) {
  gchar* absolute = g_canonicalize_filename(path.c_str(), nullptr);
  std::string result = absolute;
  g_free(absolute);
  return result;
}

// The folder a chooser opens at: the folder given (relative to the working folder), or
// the nearest folder above it that exists, so that a folder not made yet opens where it
// would be made; the working folder when none is given.
std::string StartFolder(const std::string& folder) {
  std::string path = AbsolutePath(folder.empty() ? "." : folder);
  while (!g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) {
    gchar* above = g_path_get_dirname(path.c_str());
    const bool top = path == above;
    path = above;
    g_free(above);
    if (top) break;
  }
  return path;
}

// ---- help ----

// Starts a viewer without waiting for it; GLib's double fork leaves no zombie behind.
// The viewer gets the user's own scale setting, not the one the program runs with.
bool StartViewer(const std::string& program, const std::string& argument) {
  gchar* argv[] = {const_cast<gchar*>(program.c_str()), const_cast<gchar*>(argument.c_str()),
                   nullptr};
  gchar** environment = g_get_environ();
  environment = Gui().HadGdkScale
                    ? g_environ_setenv(environment, "GDK_SCALE", Gui().UserGdkScale.c_str(), TRUE)
                    : g_environ_unsetenv(environment, "GDK_SCALE");
  GError* error = nullptr;
  bool started = g_spawn_async(nullptr, argv, environment,
                               static_cast<GSpawnFlags>(G_SPAWN_STDOUT_TO_DEV_NULL |
                                                        G_SPAWN_STDERR_TO_DEV_NULL),
                               nullptr, nullptr, nullptr, &error);
  if (!started) {
    std::fprintf(stderr, "zolt: cannot start %s: %s\n", program.c_str(),
                 error != nullptr ? error->message : "unknown error");
    g_clear_error(&error);
  }
  g_strfreev(environment);
  return started;
}

std::string FindProgram(const char* name) {
  gchar* path = g_find_program_in_path(name);
  std::string result = path != nullptr ? path : "";
  g_free(path);
  return result;
}

}  // namespace

// ---- message boxes ----

void ShowMessageBox(const std::string& title, const std::string& text, MessageIcon icon) {
  if (!Gui().Initialised) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return;
  }
  int owner = DialogOwner();
  GtkWidget* dialog = gtk_message_dialog_new(OwnerToplevel(owner), GTK_DIALOG_MODAL,
                                             MessageType(icon), GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  // GTK's message dialogs no longer show an icon for their type by themselves: the box is
  // given the theme's image for it, and then its type again (which giving an image clears).
  if (const char* name = IconName(icon)) {
    GtkWidget* image = gtk_image_new_from_icon_name(name, GTK_ICON_SIZE_DIALOG);
    gtk_widget_show(image);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_set(dialog, "message-type", MessageType(icon), nullptr);
  }
  RunDialog(dialog, owner);
}

// ---- folder chooser ----

std::string ChooseFolder(const std::string& title, const std::string& initialFolder) {
  if (!Gui().Initialised) return {};
  int owner = DialogOwner();
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      title.c_str(), OwnerToplevel(owner), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
      GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), StartFolder(initialFolder).c_str());
  std::string chosen;
  // The chooser is destroyed by RunDialog, so its answer is read inside the response.
  g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog* d, gint response, gpointer data) {
                     if (response != GTK_RESPONSE_ACCEPT) return;
                     gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(d));
                     if (folder != nullptr) *static_cast<std::string*>(data) = folder;
                     g_free(folder);
                   }),
                   &chosen);
  RunDialog(dialog, owner);
  if (!chosen.empty() && chosen.back() != '/') chosen += '/';
  return chosen;
}

// ---- help ----

void OpenHelp(const std::string& file, const std::string& topic) {
  const std::string path = AbsolutePath(file);
  const std::string viewer = FindProgram("xchm");
  if (!viewer.empty()) {
    // The viewer takes a topic as a location inside the file.
    std::string location = "file:" + path;
    if (!topic.empty()) location += "#xchm:" + (topic.front() == '/' ? topic : "/" + topic);
    StartViewer(viewer, location);
    return;
  }
  const std::string opener = FindProgram("xdg-open");
  if (!opener.empty()) {
    StartViewer(opener, path);
    return;
  }
  std::fprintf(stderr, "zolt: no viewer for the help file %s\n", path.c_str());
}

}  // namespace zolt::platform
