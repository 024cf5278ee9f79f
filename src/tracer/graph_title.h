// The graph-title window: the graph's title typed in; "Update" keeps it as GraphTitleText
// (shown above the graph and written into every later run file) and rewrites the
// "GraphTitle" cell of the file that holds the run on display, if one does. A file that
// cannot take it (write-protected, a full disk ...) is left as it is and keeps its title
// on screen, and the user is told why. Main thread only.
#pragma once

namespace zolt::tracer {

constexpr int GraphTitleWindow = 301;

// Opens the window and serves it until "Update", "Cancel", its close box, or another
// window or application taking the activation closes it; only "Update" keeps the typing.
// A window that cannot open is reported and changes nothing.
void OpenGraphTitleWindow();

}  // namespace zolt::tracer
