// The calibration image as it arrives in the status frames, two bytes a frame.
//
// The instrument repeats its image (up to 1,024 bytes of text) over and over, marking the
// first word of each copy. The receiver takes two copies, accepts them when they agree,
// splits the image into lines and then hands it to the main thread, which stores it.
//
// Hand-off: the reader thread (under the InstrumentMutex) is the only writer of the
// copies, the index and CalLines, and only in states 0 to 4. Moving to state 5 publishes
// them; in states 5 and 6 the receiver touches nothing, so the main thread reads them
// without the mutex. CalFileLines belongs to the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace zolt::link {

constexpr int CalibrationImageBytes = 1024;
constexpr int CalibrationLineCount = 1024;
constexpr int CalibrationFileLineCount = 1235;

enum CalStreamStates : int32_t {
  CalStreamAwaitMarker = 0,
  CalStreamFirstCopy = 1,
  CalStreamSecondCopy = 2,
  CalStreamCompare = 3,
  CalStreamSplit = 4,
  CalStreamStore = 5,
  CalStreamDone = 6,
};

struct CalibrationStreamRecord {
  std::atomic<int32_t> CalStreamState{CalStreamAwaitMarker};
  int32_t CalStreamIndex = 0;  // next byte position in the copy being filled
  uint8_t CalCopy1[CalibrationImageBytes] = {};
  uint8_t CalCopy2[CalibrationImageBytes] = {};
  std::string CalLines[CalibrationLineCount];          // the accepted image as lines
  std::string CalFileLines[CalibrationFileLineCount];  // the file's lines as last read
  std::string CalibrationFile = "settings/KVR820_cal.txt";
};

inline CalibrationStreamRecord CalibrationStream;

// One frame's calibration word (marker 1 when the frame's marker bit is set). The low
// byte (the frame's byte 3) is stored before the high byte; nothing is stored past
// position 1023.
void AdvanceCalibrationStream(CalibrationStreamRecord& stream, int32_t marker, uint16_t word);

// Splits an image into lines: NUL bytes are skipped, LF starts the next line, CR stores
// the text gathered so far as the current line; a last line without CR is not stored.
// Lines beyond the table are dropped.
void SplitCalibrationImage(const uint8_t (&image)[CalibrationImageBytes],
                           std::string (&lines)[CalibrationLineCount]);

}  // namespace zolt::link
