// Curve-tracer simulator, command line.
#include "options.h"

#include <cmath>
#include <cstdlib>

namespace zolt::kvrsim {

namespace {

bool ReadInteger(const std::string& text, int64_t low, int64_t high, int64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool ReadReal(const std::string& text, double low, double high, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  double parsed = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(parsed) || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i], value;
    size_t equals = name.find('=');
    bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "-h" || name == "--help") {
      o.help = true;
      continue;
    }
    if (name == "-v" || name == "--verbose") {
      o.verbose = true;
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= argc) {
        error = name + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    int64_t n = 0;
    auto integer = [&](int64_t low, int64_t high) {
      if (ReadInteger(value, low, high, n)) return true;
      error = name + " takes a whole number from " + std::to_string(low) + " to " +
              std::to_string(high) + ", not \"" + value + "\"";
      return false;
    };
    if (name == "--link") {
      o.linkPath = value;
    } else if (name == "--frame-ms") {
      if (!ReadReal(value, 0.0, 1000.0, o.frameMs)) {
        error = "--frame-ms takes milliseconds from 0 to 1000, not \"" + value + "\"";
        return false;
      }
    } else if (name == "--device") {
      if (!DeviceFromName(value, o.instrument.device)) {
        error = "unknown device \"" + value + "\"; devices:\n" + DeviceList(2);
        return false;
      }
    } else if (name == "--noise") {
      if (!ReadReal(value, 0.0, 1e6, o.instrument.noiseCodes)) {
        error = "--noise takes codes of 0 or more, not \"" + value + "\"";
        return false;
      }
    } else if (name == "--seed") {
      if (!integer(0, INT64_MAX)) return false;
      o.instrument.seed = static_cast<uint64_t>(n);
    } else if (name == "--ramp-frames") {
      if (!integer(1, 10000)) return false;
      o.instrument.rampFrames = static_cast<int>(n);
    } else if (name == "--stopping-frames") {
      if (!integer(0, 10000)) return false;
      o.instrument.stoppingFrames = static_cast<int>(n);
    } else if (name == "--hv-rise-frames") {
      if (!integer(0, 10000)) return false;
      o.instrument.highVoltageRiseFrames = static_cast<int>(n);
    } else if (name == "--cal-unit") {
      if (!integer(0, 999999)) return false;
      o.calibrationUnit = static_cast<int>(n);
    } else if (name == "--cal") {
      o.calibrationFile = value;
    } else if (name == "--write-cal") {
      o.writeCalibration = value;
    } else if (name == "--corrupt-every") {
      if (!integer(0, 1000000)) return false;
      o.faults.corruptEvery = static_cast<int>(n);
    } else if (name == "--drop-every") {
      if (!integer(0, 1000000)) return false;
      o.faults.dropEvery = static_cast<int>(n);
    } else if (name == "--junk-every") {
      if (!integer(0, 1000000)) return false;
      o.faults.junkEvery = static_cast<int>(n);
    } else if (name == "--silence-after") {
      if (!integer(0, INT32_MAX)) return false;
      o.faults.silenceFromMs = n;
    } else if (name == "--silence-for") {
      if (!integer(0, INT32_MAX)) return false;
      o.silenceForMs = n;
    } else if (name == "--hangup-after") {
      if (!integer(0, INT32_MAX)) return false;
      o.hangupAfterMs = n;
    } else if (name == "--control") {
      o.controlPath = value;
    } else if (name == "--log-packets") {
      o.packetLogPath = value;
    } else {
      error = "unknown option \"" + name + "\" (see --help)";
      return false;
    }
  }
  if (o.faults.silenceFromMs >= 0) o.faults.silenceUntilMs = o.faults.silenceFromMs + o.silenceForMs;
  if (!o.help && o.linkPath.empty() && o.writeCalibration.empty()) {
    error = "--link PATH is needed (see --help)";
    return false;
  }
  return true;
}

std::string HelpText() {
  return
      "Usage: kvr-sim --link PATH [options]\n"
      "       kvr-sim --write-cal FILE [--cal-unit N]\n"
      "\n"
      "A simulated curve tracer behind a pseudo-terminal. It takes the host's register\n"
      "packets (checking each checksum), keeps the registers, switches its high voltage,\n"
      "runs sweeps over a simulated device and sends a 32-byte status frame every frame\n"
      "period, with the sample sums of the device and two bytes of its calibration image.\n"
      "\n"
      "Link:\n"
      "  --link PATH          make PATH a symbolic link to the simulator's port, e.g.\n"
      "                       ports/COM1 in the program's folder (the folder is made if\n"
      "                       missing); a stale link is replaced, the link is removed at\n"
      "                       the end. When the host closes the port a fresh one is put\n"
      "                       behind the same link, as a re-plugged instrument would be.\n"
      "  --frame-ms MS        one frame every MS milliseconds (default 5); 0 sends one\n"
      "                       frame per sample interval set by the host (register 2)\n"
      "\n"
      "Device and sweep:\n"
      "  --device NAME        the device in the socket (default npn):\n" +
      DeviceList(6) +
      "  --noise CODES        rms noise of each converter sample (default 2; 0: none)\n"
      "  --seed N             seed of the noise (default 1)\n"
      "  --ramp-frames N      frames for the collector supply to rise from 0 V to the\n"
      "                       voltage limit (default 250); one point per frame\n"
      "  --stopping-frames N  frames for the supply to return to 0 V (default 5)\n"
      "  --hv-rise-frames N   frames from the high-voltage command to high voltage on\n"
      "                       (default 10)\n"
      "\n"
      "Calibration image (streamed two bytes per frame, marker on each copy's start):\n"
      "  --cal-unit N         the built-in image of simulated unit N (default 1); each\n"
      "                       unit has its own small converter trims\n"
      "  --cal FILE           stream the image in FILE instead (at most 1,024 bytes)\n"
      "  --write-cal FILE     write the image to FILE (1,024 bytes); without --link the\n"
      "                       simulator ends after writing\n"
      "\n"
      "Faults:\n"
      "  --corrupt-every N    every N-th frame goes out with a bad checksum\n"
      "  --drop-every N       every N-th frame loses one byte\n"
      "  --junk-every N       a stray byte follows every N-th frame\n"
      "  --silence-after MS   send no frames from MS ms after the start ...\n"
      "  --silence-for MS     ... for MS ms (default 3000)\n"
      "  --hangup-after MS    close the port and end MS ms after the start\n"
      "  --control FILE       read commands from FILE while running; the file is taken\n"
      "                       away once read, so `echo CMD > FILE` acts once:\n" +
      ControlCommandHelp(6) +
      "\n"
      "Other:\n"
      "  -v, --verbose        a status line on stderr every second, and events as they\n"
      "                       happen\n"
      "  --log-packets FILE   write one line per packet received to FILE: seconds since\n"
      "                       the start, write or request, address, value, good or bad\n"
      "                       (a bad one followed by its bytes in hex)\n"
      "  -h, --help           this text\n"
      "\n"
      "Signals: SIGUSR1 prints the status line; SIGINT, SIGTERM and SIGHUP end the\n"
      "simulator and remove the link.\n";
}

}  // namespace zolt::kvrsim
