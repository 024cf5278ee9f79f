// The calibration stream receiver and the image splitter.
#include "link/calibration_stream.h"

#include <algorithm>
#include <cstring>

namespace zolt::link {

namespace {

// Stores the word's two bytes at the index (low byte first) and advances it; positions
// past the end of the copy are dropped.
void StoreWord(uint8_t (&copy)[CalibrationImageBytes], int32_t& index, uint16_t word) {
  const uint8_t low = static_cast<uint8_t>(word & 0xFF);
  const uint8_t high = static_cast<uint8_t>(word >> 8);
  if (index >= 0 && index < CalibrationImageBytes) copy[index] = low;
  if (index + 1 >= 0 && index + 1 < CalibrationImageBytes) copy[index + 1] = high;
  index = std::min(index + 2, CalibrationImageBytes);
}

}  // namespace

void AdvanceCalibrationStream(CalibrationStreamRecord& stream, int32_t marker, uint16_t word) {
  switch (stream.CalStreamState.load()) {
    case CalStreamAwaitMarker:
      if (marker != 1) return;
      std::memset(stream.CalCopy1, 0, sizeof stream.CalCopy1);
      std::memset(stream.CalCopy2, 0, sizeof stream.CalCopy2);
      stream.CalStreamIndex = 0;
      StoreWord(stream.CalCopy1, stream.CalStreamIndex, word);
      stream.CalStreamState = CalStreamFirstCopy;
      return;
    case CalStreamFirstCopy:
      if (marker == 1) {
        stream.CalStreamIndex = 0;
        StoreWord(stream.CalCopy2, stream.CalStreamIndex, word);
        stream.CalStreamState = CalStreamSecondCopy;
      } else {
        StoreWord(stream.CalCopy1, stream.CalStreamIndex, word);
      }
      return;
    case CalStreamSecondCopy:
      if (marker == 1) {
        stream.CalStreamState = CalStreamCompare;  // the third copy's first word is dropped
      } else {
        StoreWord(stream.CalCopy2, stream.CalStreamIndex, word);
      }
      return;
    case CalStreamCompare:
      stream.CalStreamState =
          std::memcmp(stream.CalCopy1, stream.CalCopy2, CalibrationImageBytes) == 0
              ? CalStreamSplit
              : CalStreamAwaitMarker;
      return;
    case CalStreamSplit:
      SplitCalibrationImage(stream.CalCopy1, stream.CalLines);
      stream.CalStreamState = CalStreamStore;  // publishes the copies and lines
      return;
    default:
      return;  // stored or done: the main thread owns the image now
  }
}

void SplitCalibrationImage(const uint8_t (&image)[CalibrationImageBytes],
                           std::string (&lines)[CalibrationLineCount]) {
  for (std::string& line : lines) line.clear();
  int line = 0;
  std::string text;
  for (uint8_t byte : image) {
    if (byte == 0) continue;
    if (byte == '\n') {
      ++line;
      text.clear();
    } else if (byte == '\r') {
      if (line < CalibrationLineCount) lines[line] = text;
    } else {
      text.push_back(static_cast<char>(byte));
    }
  }
}

}  // namespace zolt::link
