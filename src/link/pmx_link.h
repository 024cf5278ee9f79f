// The power analyser's connection: the step machine that opens the USB device, copies
// the calibration out of the device, starts the comms thread and enables the stream,
// and the comms thread that receives the sample frames into the ring (pmx_ring.h).
//
// PmxLinkState belongs to the main thread; the comms thread may only clear
// LinkState.Connected behind it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "link/pmx_wire.h"

namespace zolt::link {

struct PmxLinkStateRecord {
  int32_t PmxLinkStep = 0;      // 0..11, 100, 101
  std::string PmxStatusText;    // caption of the connect control
  std::string PmxStepText;      // the numbered step line
  int64_t PmxStepTime = 0;      // ms clock at which the current timed step began
  int32_t PmxRunning = 0;       // 1 while connected (step 11)
  std::string PmxCommsEnable;   // "On" once the stream has been enabled
  int32_t PmxSynthesisOn = 0;   // the demonstration signal switch
  int64_t PmxHeldSince = 0;     // ms clock since which step 1 waits for the device; 0: not waiting
};

inline PmxLinkStateRecord PmxLinkState;

// Performs the current connection step once (one step per main-loop turn).
void StepPowerAnalyserConnection();
// True while the link is ready for a save to the device: connected (step 11), with the
// comms thread running to make it.
bool PmxLinkReady();

// What the front end does when a stream is about to start (the comms thread is started)
// and when a link has ended, lost or disconnected. Set by the front end's start-up;
// either may be left out. Called by the connection steps, main thread.
struct PmxLinkHooksRecord {
  void (*StreamStarting)() = nullptr;
  void (*LinkEnded)() = nullptr;
};

inline PmxLinkHooksRecord PmxLinkHooks;

// ---- the comms thread ----

constexpr int PmxReplyTimeoutMs = 500;  // no good frame in step for longer: the link is lost

// The side channel's first complete block after program start (comms thread only; read
// it once the thread has ended).
inline PmxSideChannel PmxSideChannelBlock;

// The comms thread's own state: where its reads stand on the stream and the block it is
// assembling. Each pass of the thread starts it afresh, in step with the stream.
struct PmxReceiveStateRecord {
  uint32_t Opening = 0;  // the device's opening the thread holds (usb_device.h)
  PmxAlignment Alignment;
  PmxBlockAssembly Block;
  bool BlockBegun = false;      // the block's conversion and its generation are taken
  uint32_t BlockGeneration = 0;
  PmxConversion BlockConversion;
};

inline PmxReceiveStateRecord PmxReceiveState;

// The comms thread's body (parameter ignored); returns 0. It holds the device from its
// start (writes of other threads are handed to it) and closes it when it ends.
int PowerAnalyserCommsThread(void* parameter);
// True while connected and no good frame in step has come for PmxReplyTimeoutMs, also
// when the thread is held up in a device call: either thread may look.
bool PmxLinkSilent(int64_t now);
// Stops the link when it is silent.
void CheckReceiveTimeout();
// Closes the device the thread holds (which clears Connected) and sets StopThreads, from
// inside the thread.
void StopCommsOnTimeout();
// A complete block into block 0..99 of the ring: its samples, which frame-times were
// received (none of a block of mixed conversion), and the conversion of its samples with
// its kind (PmxConversionKind). The comms thread's, before it publishes the block.
void StorePmxBlock(const PmxBlockAssembly& assembly, int32_t block, const PmxConversion& conversion,
                   uint8_t kind);
// Receives one block of 320 frame-times into block PmxWriteBlock of the ring and
// publishes it. Leaves the block unpublished when the link closes, the stop flag is set
// or the link is silent.
void ReceivePowerAnalyserFrames();

// Held by the comms thread while it looks whether its link is still on and, if so,
// stores and publishes a block; by the main thread in EndPmxPublishing.
inline std::mutex PmxPublishMutex;
// Main thread, once StopThreads is set (a link ends): returns once the comms thread can
// no longer store or publish a block, a block under way being finished first, so that
// what the front end clears afterwards stays clear of the ended link.
void EndPmxPublishing();

}  // namespace zolt::link
