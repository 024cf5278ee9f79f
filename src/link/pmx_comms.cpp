// The power analyser's comms thread: polls the instrument, makes the writes other threads
// hand it, watches the link, and receives the sample frames into the ring, one block of
// 320 frame-times at a time.
//
// Sections: the thread's loop; the watchdog; receiving a block.
//
// The thread holds the device from its start to its end: it is the only reader, it makes
// every write (usb_device.h hands it those of the main thread), and it closes the device
// on its way out, whatever ended the link. It is the only writer of the ring's block
// PmxWriteBlock.
#include <span>

#include "link/link_state.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "link/registers.h"
#include "link/usb_device.h"
#include "platform/system.h"

namespace zolt::link {

namespace {

// The instrument sends 3,200 frames a second, 3.2 a millisecond.
constexpr int FramesPerTenMs = 32;
// The longest sleep while frames are missing: about 1.9 KB arrive meanwhile, far less
// than the device buffers.
constexpr int LongestWaitMs = 20;

// How long to sleep while `missing` frames of the block have yet to arrive: until about
// a millisecond before the last of them can be there, so the block is still handed over
// within two milliseconds of its last frame, and at least a millisecond.
int WaitForFramesMs(int missing) {
  const int untilLast = missing * 10 / FramesPerTenMs;
  return untilLast - 1 < 1 ? 1 : (untilLast - 1 > LongestWaitMs ? LongestWaitMs : untilLast - 1);
}

PmxConversion SelectedConversion() {
  const PmxSampleRingRecord& ring = PmxSampleRing;
  return {ring.PmxVoltageGain, ring.PmxVoltageOffset, ring.PmxCurrentGain, ring.PmxCurrentOffset};
}

}  // namespace

// ---- the thread's loop ----

int PowerAnalyserCommsThread(void*) {
  // A new pass reads in step with the stream: no shift, bad-frame row or part of a block
  // is carried over from the last pass, which may have ended on bad frames.
  PmxReceiveState = PmxReceiveStateRecord{};
  PmxReceiveState.Opening = UsbOpening();
  UsbTakeHandedWrites(true);
  while (LinkState.StopThreads == 0) {
    platform::Delay(1);
    PollInstrumentIfDue(PollIntervalMs, 0);
    UsbMakeHandedWrites();
    CheckReceiveTimeout();
    ReceivePowerAnalyserFrames();
  }
  UsbTakeHandedWrites(false);
  CloseUsbDevice(PmxReceiveState.Opening);
  return 0;
}

// ---- the watchdog ----
//
// Only good frames in step refresh LastGoodFrameTime: a stream that never gets back in
// step after a shift, and a device call held up past the time-out, are lost links.

bool PmxLinkSilent(int64_t now) {
  return LinkState.Connected == 1 && now > LinkState.LastGoodFrameTime + PmxReplyTimeoutMs;
}

void CheckReceiveTimeout() {
  if (PmxLinkSilent(platform::ElapsedMilliseconds())) StopCommsOnTimeout();
}

void StopCommsOnTimeout() {
  // The device's close clears Connected at once; nothing clears it later, so a
  // connection made meanwhile is left alone.
  CloseUsbDevice(PmxReceiveState.Opening);
  LinkState.StopThreads = 1;
  platform::Delay(100);
  platform::CloseSerialPort(InstrumentSerialPort);
}

// ---- receiving a block ----

void EndPmxPublishing() {
  // The comms thread looks at the stop flag under the lock: once the lock has been had,
  // it has published its last block or will find the flag set.
  std::lock_guard publishing(PmxPublishMutex);
}

void StorePmxBlock(const PmxBlockAssembly& assembly, int32_t block, const PmxConversion& conversion,
                   uint8_t kind) {
  double* voltage = PmxVoltageSamples + block * PmxBlockSamples;
  double* current = PmxCurrentSamples + block * PmxBlockSamples;
  for (int i = 0; i < PmxBlockSamples; ++i) {
    StoreSample(voltage[i], assembly.Voltage[i]);
    StoreSample(current[i], assembly.Current[i]);
  }
  // A range applied while the block was received leaves frames measured on one range and
  // converted with the other's constants, which no flag tells apart: none of the block's
  // frame-times counts as received, so the analysis takes the block as a gap.
  const bool trusted = kind != PmxMixedConversion;
  uint8_t* flags = PmxFrameTimes + block * PmxFramesPerBlock;
  for (int t = 0; t < PmxFramesPerBlock; ++t)
    StoreRingByte(flags[t], trusted ? PmxFrameTimeFlags(assembly, t) : uint8_t{0});
  PmxConversion& stored = PmxBlockConversions[block];
  StoreSample(stored.VoltageGain, conversion.VoltageGain);
  StoreSample(stored.VoltageOffset, conversion.VoltageOffset);
  StoreSample(stored.CurrentGain, conversion.CurrentGain);
  StoreSample(stored.CurrentOffset, conversion.CurrentOffset);
  StoreRingByte(PmxBlockConversionKinds[block], kind);
}

void ReceivePowerAnalyserFrames() {
  if (LinkState.Connected != 1) return;
  const int32_t block = PmxSampleRing.PmxWriteBlock;
  PmxReceiveStateRecord& receive = PmxReceiveState;
  PmxBlockAssembly& assembly = receive.Block;
  PmxAlignment& alignment = receive.Alignment;
  if (!receive.BlockBegun) {
    // The conversion the block begins with, and its generation: the analysis tells over
    // range from it when no range was applied until the block ends.
    receive.BlockGeneration = PmxSampleRing.PmxConversionGeneration;
    receive.BlockConversion = SelectedConversion();
    receive.BlockBegun = true;
  }
  while (!PmxBlockComplete(assembly)) {
    if (LinkState.Connected != 1 || LinkState.StopThreads != 0) return;
    const int64_t now = platform::ElapsedMilliseconds();
    if (PmxLinkSilent(now)) return;  // the watchdog stops the link on the next pass
    uint32_t waiting = UsbBytesWaiting();
    uint32_t wanted = static_cast<uint32_t>(PmxNextReadBytes(alignment));
    // Until the block's frames are all there the thread sleeps (the device keeps them),
    // waking for the poll, the watchdog and handed writes; it does not wake for every frame.
    const int missing = PmxFramesPerBlock - PmxNextFrameTime(assembly) -
                        static_cast<int>(waiting / PmxFrameBytes);
    if (missing > 0) {
      PollInstrumentIfDue(PollIntervalMs, 0, now);
      UsbMakeHandedWrites();
      UsbAwaitHandedWrites(WaitForFramesMs(missing));
      continue;
    }
    // Every frame already waiting is taken before the device is asked again.
    while (waiting >= wanted && !PmxBlockComplete(assembly)) {
      const uint32_t got = UsbRead(LinkState.RxBuffer, wanted);
      waiting -= wanted;
      const PmxReadOutcome outcome =
          TakePmxBlockRead(assembly, alignment, std::span<const uint8_t>(LinkState.RxBuffer, got),
                           SelectedConversion(), PmxSideChannelBlock);
      if (outcome == PmxReadOutcome::Good) {
        LinkState.LastGoodFrameTime = platform::ElapsedMilliseconds();
      }
      if (got < wanted) {
        platform::Delay(1);  // the device gave less than it showed: ask again later
        break;
      }
      wanted = static_cast<uint32_t>(PmxNextReadBytes(alignment));
    }
  }
  // A read held up past the end of the link may have finished the block: a link that
  // has ended publishes nothing more, so no block of it reaches the screen afterwards.
  // The look and the publishing are one step for the main thread (EndPmxPublishing).
  std::lock_guard publishing(PmxPublishMutex);
  if (LinkState.Connected != 1 || LinkState.StopThreads != 0) return;
  FillMissingPmxSamples(assembly);
  const uint32_t generation = PmxSampleRing.PmxConversionGeneration;
  const bool one = generation == receive.BlockGeneration && generation % 2 == 0;
  StorePmxBlock(assembly, block, receive.BlockConversion, one ? PmxOneConversion : PmxMixedConversion);
  PmxSampleRing.PmxPublishedBlock = block;
  PmxSampleRing.PmxWriteBlock = (block + 1) % PmxRingBlocks;
  StartNextPmxBlock(assembly);
  receive.BlockBegun = false;
}

}  // namespace zolt::link
