// zolt-crashview <title> <text>: the crash-report viewer.
//
// The fault handler cannot safely show a window from inside the faulting process, so
// it starts this small program and waits for it. It shows the text in a modal message
// box with an OK button and ends when the box is closed. Line ends in the text may be
// CR, LF or CR LF. Exit status 0 when the box was shown, 2 without a display, 1 for
// wrong arguments.
#include <gtk/gtk.h>

#include <cstdio>
#include <string>

namespace {

std::string WithLineFeeds(const char* text) {
  std::string lines;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\r') {
      lines.push_back('\n');
      if (c[1] == '\n') ++c;
    } else {
      lines.push_back(*c);
    }
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zolt-crashview <title> <text>\n");
    return 1;
  }
  const char* title = argv[1];
  const std::string text = WithLineFeeds(argv[2]);
  if (!gtk_init_check(&argc, &argv)) return 2;

  GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                          GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(box), title);
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  return 0;
}
