// Curve-tracer simulator, the port: a pseudo-terminal whose slave end is reached
// through a symbolic link at a path the user chooses (for example ports/COM1), so the
// host opens it exactly as it would open an instrument's serial device.
//
// The host is taken to be present while it holds the slave end open (the master sees
// no hang-up). When it closes the port, a fresh pseudo-terminal is put behind the same
// link: a closed port then opens again cleanly, with nothing left in it and none of
// the last session's settings (such as exclusive use), as a re-plugged device would.
//
// Sections: opening and closing; the host's presence; bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zolt::kvrsim {

struct PtyPort {
  int master = -1;
  std::string slaveName;  // /dev/pts/N
  std::string linkPath;
  bool hostPresent = false;
};

// ---- opening and closing ----

// Opens a pseudo-terminal (raw, so nothing is echoed before the host sets it up) and
// links `linkPath` to it. A link already there is replaced when it dangles or points
// at another pseudo-terminal; anything else at the path is left alone and reported.
bool OpenPtyPort(PtyPort& port, const std::string& linkPath, std::string& error);
// Closes the master end (the host sees its port hang up) and removes the link if it
// still points at this port.
void ClosePtyPort(PtyPort& port);
// A fresh pseudo-terminal behind the same link, swapped in one step; the old one closed.
bool RenewPtyPort(PtyPort& port, std::string& error);

// ---- the host's presence ----

enum class HostChange { None, Opened, Closed };

HostChange WatchHost(PtyPort& port);

// ---- bytes ----

// Bytes the host wrote, at most `capacity`; 0 when none are waiting.
size_t ReadFromHost(PtyPort& port, uint8_t* buffer, size_t capacity);
// Writes what the port takes now; returns the count written.
size_t WriteToHost(PtyPort& port, const uint8_t* bytes, size_t count);

}  // namespace zolt::kvrsim
