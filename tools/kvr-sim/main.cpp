// Curve-tracer simulator, the program: options, the calibration image, the port, and
// the loop that paces frames, takes packets, applies faults and control commands.
//
// Sections: signals and clock; calibration image; the session: status and events;
// control file; the loop; main.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "calibration.h"
#include "faults.h"
#include "instrument.h"
#include "options.h"
#include "pty_link.h"
#include "wire.h"

namespace zolt::kvrsim {
namespace {

// ---- signals and clock ----

volatile std::sig_atomic_t EndRequested = 0;
volatile std::sig_atomic_t StatusRequested = 0;

void OnEndSignal(int) { EndRequested = 1; }
void OnStatusSignal(int) { StatusRequested = 1; }

void InstallSignals() {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = OnEndSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  action.sa_handler = OnStatusSignal;
  sigaction(SIGUSR1, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

double MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

// ---- calibration image ----

bool ChooseCalibrationImage(const Options& options, CalibrationImage& image, std::string& error) {
  if (!options.calibrationFile.empty()) {
    return ReadCalibrationImageFile(options.calibrationFile, image, error);
  }
  if (!FormatCalibrationImage(MakeCalibrationRecord(options.calibrationUnit), image)) {
    error = "the calibration record does not fit in 1024 bytes";
    return false;
  }
  return true;
}

// ---- the session: status and events ----

struct Session {
  Options options;
  Instrument instrument;
  PtyPort port;
  PacketReader reader;
  std::FILE* packetLog = nullptr;  // --log-packets
  FaultPlan faults;
  std::vector<uint8_t> outgoing;  // bytes the port did not take yet
  // What a host wrote before it let go while the instrument was not reading: still its
  // input, taken once it reads again.
  std::vector<uint8_t> unread;
  double startMs = 0.0;
  double nextFrameMs = 0.0;
  double lastByteMs = 0.0;
  double replugAtMs = -1.0;  // while unplugged: when the port comes back
  uint64_t framesSent = 0;
  uint64_t framesUnsent = 0;  // no host, silenced or port full
  bool ending = false;
  // Last reported state, to log changes.
  bool shownHighVoltage = false;
  RunState shownState = RunState::Idle;
  int shownStopCode = 0;
};

double Elapsed(const Session& s, double nowMs) { return (nowMs - s.startMs) / 1000.0; }

void Say(const Session& s, const std::string& text) {
  std::fprintf(stderr, "kvr-sim %8.3f s  %s\n", Elapsed(s, MonotonicMs()), text.c_str());
}

void PrintStatusLine(const Session& s) {
  const Instrument& in = s.instrument;
  const OperatingPoint& p = in.lastPoint;
  char line[512];
  std::snprintf(line, sizeof line,
                "%s | HV %s | %s sweep %llu | stop %d | Vc %.3f V  Ic %.4f mA  Vb %.3f V | "
                "frames %llu sent, %llu not | packets %llu good, %llu bad, %llu polls | "
                "cal copies %llu",
                s.port.master < 0 ? "unplugged" : s.port.hostPresent ? "host open" : "no host",
                in.highVoltageOn ? "on" : "off", RunStateName(in.sweep.state),
                static_cast<unsigned long long>(in.counters.sweepsStarted), in.stopCode,
                p.collectorVolts, p.collectorAmps * 1000.0, p.baseVolts,
                static_cast<unsigned long long>(s.framesSent),
                static_cast<unsigned long long>(s.framesUnsent),
                static_cast<unsigned long long>(s.reader.goodPackets),
                static_cast<unsigned long long>(s.reader.badPackets),
                static_cast<unsigned long long>(in.counters.polls),
                static_cast<unsigned long long>(in.calibration.copiesSent));
  std::string text = line;
  if (in.counters.refusedRuns > 0) text += " | refused runs " + std::to_string(in.counters.refusedRuns);
  const FaultPlan& f = s.faults;
  if (Deaf(f, static_cast<int64_t>(MonotonicMs() - s.startMs))) text += " | not reading";
  if (f.corrupted + f.dropped + f.junked + f.silenced > 0) {
    text += " | faults: " + std::to_string(f.corrupted) + " corrupted, " + std::to_string(f.dropped) +
            " short, " + std::to_string(f.junked) + " stray byte, " + std::to_string(f.silenced) + " silenced";
  }
  Say(s, text);
}

void ReportChanges(Session& s) {
  const Instrument& in = s.instrument;
  if (!s.options.verbose) return;
  if (in.highVoltageOn != s.shownHighVoltage) {
    Say(s, in.highVoltageOn ? "high voltage on" : "high voltage off");
  }
  if (in.sweep.state != s.shownState) {
    Say(s, std::string("sweep ") + std::to_string(in.counters.sweepsStarted) + ": " +
               RunStateName(in.sweep.state));
  }
  if (in.stopCode != s.shownStopCode) Say(s, "stop code " + std::to_string(in.stopCode));
  s.shownHighVoltage = in.highVoltageOn;
  s.shownState = in.sweep.state;
  s.shownStopCode = in.stopCode;
}

// ---- control file ----

void Unplug(Session& s, double nowMs, int64_t forMs) {
  ClosePtyPort(s.port);
  s.outgoing.clear();
  s.replugAtMs = nowMs + double(forMs);
  if (s.options.verbose) Say(s, "port closed");
}

void ApplyControl(Session& s, const ControlCommand& c, double nowMs) {
  FaultPlan& f = s.faults;
  auto periodic = [&](int& every, int& pending) {
    if (c.number < 0) {
      ++pending;
    } else {
      every = c.number;
    }
  };
  switch (c.action) {
    case ControlAction::Corrupt: periodic(f.corruptEvery, f.corruptPending); break;
    case ControlAction::Drop: periodic(f.dropEvery, f.dropPending); break;
    case ControlAction::Junk: periodic(f.junkEvery, f.junkPending); break;
    case ControlAction::Silence:
      f.silenceFromMs = static_cast<int64_t>(nowMs - s.startMs);
      f.silenceUntilMs = f.silenceFromMs + c.number;
      break;
    case ControlAction::Deaf:
      f.deafUntilMs = static_cast<int64_t>(nowMs - s.startMs) + c.number;
      break;
    case ControlAction::Hangup:
      s.ending = true;
      break;
    case ControlAction::Replug:
      Unplug(s, nowMs, c.number);
      break;
    case ControlAction::Stop:
      EndSweep(s.instrument, c.number < 0 ? 1 : c.number);
      break;
    case ControlAction::Device:
      s.instrument.settings.device = c.device;
      break;
    case ControlAction::Status:
      PrintStatusLine(s);
      break;
    case ControlAction::Quit:
      EndRequested = 1;
      break;
  }
}

// Takes the control file away (so a command acts once) and runs its lines.
void ReadControlFile(Session& s, double nowMs) {
  const std::string& path = s.options.controlPath;
  std::string taken = path + ".taken";
  if (path.empty() || std::rename(path.c_str(), taken.c_str()) != 0) return;
  std::ifstream file(taken);
  std::string line;
  while (std::getline(file, line)) {
    ControlCommand command;
    std::string error;
    if (ParseControlCommand(line, command, error)) {
      if (s.options.verbose) Say(s, "control: " + line);
      ApplyControl(s, command, nowMs);
    } else if (!error.empty()) {
      Say(s, "control: " + error);
    }
  }
  std::remove(taken.c_str());
}

// ---- the loop ----

constexpr size_t OutgoingLimit = 4096;  // bytes held for a host that does not read
constexpr double PartialPacketGapMs = 50.0;

double FramePeriodMs(const Session& s) {
  if (s.options.frameMs > 0.0) return s.options.frameMs;
  return SampleSeconds(s.instrument) * 1000.0;
}

// Reads and applies the host's packets, unless the instrument is not reading: then its
// input fills, and the host's writes wait.
void TakePackets(Session& s, double nowMs) {
  if (Deaf(s.faults, static_cast<int64_t>(nowMs - s.startMs))) return;
  uint8_t bytes[4096];
  std::vector<RegisterPacket> packets;
  std::vector<ReceivedPacket> received;
  std::vector<ReceivedPacket>* log = s.packetLog != nullptr ? &received : nullptr;
  size_t count = 0;
  if (!s.unread.empty()) {
    s.lastByteMs = nowMs;
    FeedPacketBytes(s.reader, s.unread.data(), s.unread.size(), packets, log);
    s.unread.clear();
  }
  while ((count = ReadFromHost(s.port, bytes, sizeof bytes)) > 0) {
    s.lastByteMs = nowMs;
    FeedPacketBytes(s.reader, bytes, count, packets, log);
  }
  if (s.reader.heldCount > 0 && nowMs - s.lastByteMs > PartialPacketGapMs) DropPartialPacket(s.reader, log);
  for (const RegisterPacket& packet : packets) ApplyPacket(s.instrument, packet);
  if (received.empty()) return;
  // Flushed at once, so the log can be read while the simulator runs.
  for (const ReceivedPacket& r : received) {
    std::fprintf(s.packetLog, "%s\n", PacketLogLine(Elapsed(s, nowMs), r).c_str());
  }
  std::fflush(s.packetLog);
}

void SendFrame(Session& s, double nowMs) {
  StatusFrame frame = NextFrame(s.instrument);
  std::vector<uint8_t> bytes = DamageFrame(s.faults, EncodeStatusFrame(frame), s.instrument.counters.frames);
  bool silenced = Silenced(s.faults, static_cast<int64_t>(nowMs - s.startMs));
  if (silenced) ++s.faults.silenced;
  if (!s.port.hostPresent || silenced || s.outgoing.size() > OutgoingLimit) {
    ++s.framesUnsent;
    return;
  }
  s.outgoing.insert(s.outgoing.end(), bytes.begin(), bytes.end());
  ++s.framesSent;
}

void WatchPort(Session& s, double nowMs) {
  if (s.port.master < 0) {
    if (s.replugAtMs >= 0.0 && nowMs >= s.replugAtMs) {
      std::string error;
      if (OpenPtyPort(s.port, s.options.linkPath, error)) {
        s.replugAtMs = -1.0;
        if (s.options.verbose) Say(s, "port open at " + s.port.linkPath + " -> " + s.port.slaveName);
      } else {
        Say(s, error);
        s.replugAtMs = nowMs + 1000.0;
      }
    }
    return;
  }
  switch (WatchHost(s.port)) {
    case HostChange::Opened:
      if (s.options.verbose) Say(s, "host opened the port");
      break;
    case HostChange::Closed: {
      // What the host wrote before it let go still arrives: now, or when the instrument
      // reads again.
      TakePackets(s, nowMs);
      uint8_t bytes[4096];
      for (size_t count; (count = ReadFromHost(s.port, bytes, sizeof bytes)) > 0;)
        s.unread.insert(s.unread.end(), bytes, bytes + count);
      s.outgoing.clear();
      std::string error;
      if (!RenewPtyPort(s.port, error)) Say(s, error);
      if (s.options.verbose) Say(s, "host closed the port; fresh port at " + s.port.slaveName);
      break;
    }
    case HostChange::None:
      break;
  }
}

// Sleeps until the next frame is due (at most 10 ms, 1 ms while bytes wait to go out)
// or the host writes. Without a host the master end reads as hung up and would wake
// every poll at once, so then only the clock is waited for; so too while not reading.
void WaitForWork(const Session& s, double nowMs) {
  double waitMs = std::clamp(s.nextFrameMs - nowMs, 0.0, s.outgoing.empty() ? 10.0 : 1.0);
  timespec timeout{};
  timeout.tv_sec = static_cast<time_t>(waitMs / 1000.0);
  timeout.tv_nsec = static_cast<long>((waitMs - timeout.tv_sec * 1000.0) * 1e6);
  pollfd entry{s.port.master, POLLIN, 0};
  bool listen = s.port.master >= 0 && s.port.hostPresent &&
                !Deaf(s.faults, static_cast<int64_t>(nowMs - s.startMs));
  ppoll(&entry, listen ? 1 : 0, &timeout, nullptr);
}

int RunLoop(Session& s) {
  s.nextFrameMs = s.startMs;
  double nextControlMs = s.startMs, nextStatusMs = s.startMs + 1000.0;
  while (!EndRequested && !s.ending) {
    WaitForWork(s, MonotonicMs());
    double now = MonotonicMs();

    WatchPort(s, now);
    TakePackets(s, now);
    if (now >= s.nextFrameMs) {
      SendFrame(s, now);
      s.nextFrameMs += FramePeriodMs(s);
      // After a stall (a suspended process) carry on from now rather than catch up.
      if (now - s.nextFrameMs > 100.0) s.nextFrameMs = now;
    }
    size_t written = WriteToHost(s.port, s.outgoing.data(), s.outgoing.size());
    s.outgoing.erase(s.outgoing.begin(), s.outgoing.begin() + static_cast<std::ptrdiff_t>(written));
    ReportChanges(s);

    if (now >= nextControlMs) {
      ReadControlFile(s, now);
      nextControlMs = now + 100.0;
    }
    if (s.options.hangupAfterMs >= 0 && now - s.startMs >= double(s.options.hangupAfterMs)) s.ending = true;
    if ((s.options.verbose && now >= nextStatusMs) || StatusRequested) {
      StatusRequested = 0;
      PrintStatusLine(s);
      nextStatusMs = now + 1000.0;
    }
  }
  if (s.options.verbose) Say(s, s.ending ? "hanging up" : "ending");
  ClosePtyPort(s.port);
  if (s.packetLog != nullptr) std::fclose(s.packetLog);
  return 0;
}

}  // namespace
}  // namespace zolt::kvrsim

int main(int argc, char** argv) {
  using namespace zolt::kvrsim;
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "kvr-sim: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  CalibrationImage image{};
  if (!ChooseCalibrationImage(options, image, error)) {
    std::fprintf(stderr, "kvr-sim: %s\n", error.c_str());
    return 1;
  }
  if (!options.writeCalibration.empty() && !WriteCalibrationImageFile(options.writeCalibration, image, error)) {
    std::fprintf(stderr, "kvr-sim: %s\n", error.c_str());
    return 1;
  }
  if (options.linkPath.empty()) return 0;

  Session session;
  session.options = options;
  session.faults = options.faults;
  session.startMs = MonotonicMs();
  StartInstrument(session.instrument, options.instrument, image);
  if (!options.packetLogPath.empty()) {
    session.packetLog = std::fopen(options.packetLogPath.c_str(), "w");
    if (session.packetLog == nullptr) {
      std::fprintf(stderr, "kvr-sim: cannot write the packet log %s\n", options.packetLogPath.c_str());
      return 1;
    }
  }
  InstallSignals();
  if (!OpenPtyPort(session.port, options.linkPath, error)) {
    std::fprintf(stderr, "kvr-sim: %s\n", error.c_str());
    return 1;
  }
  if (options.verbose) {
    Say(session, "port open at " + session.port.linkPath + " -> " + session.port.slaveName +
                     ", device " + DeviceName(options.instrument.device));
  }
  return RunLoop(session);
}
