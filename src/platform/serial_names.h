// Serial ports inside the platform layer: the rules that turn "COM<n>" into a device
// path, kept apart from the port code so that they can be checked on their own, the
// descriptor of an open port for the layer's other parts, and whether the ports are
// closed to writing for good.
#pragma once

#include <string>
#include <vector>

namespace zolt::platform {

// The number n of a name "COM<n>" (n from 1, written without leading zeros); 0 for
// any other name.
int ComPortNumber(const std::string& name);

// From the entry names of /dev, the USB serial devices in the order that COM1, COM2 ...
// take them: "ttyACM<k>" by k, then "ttyUSB<k>" by k; returned as "/dev/" paths.
std::vector<std::string> OrderUsbSerialDevices(const std::vector<std::string>& names);

// The descriptor of port number `port` while it is open, -1 otherwise.
int SerialPortDescriptor(int port);

// True once the emergency block has been written: from then on no port takes a byte.
bool SerialPortsSealed();

}  // namespace zolt::platform
