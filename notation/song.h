// The song: the track list and the fields of the song window that the song side uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "notation/track.h"

class TTrack;  // the script object model's root

class TVelto {
 public:
  TVelto();
  virtual ~TVelto();
  TVelto(const TVelto&) = delete;
  TVelto& operator=(const TVelto&) = delete;

  PTreck HeadTreck = nullptr;     // the node with no Prev
  PTreck CurrentTrack = nullptr;  // the track shown
  PTreck StartTrack = nullptr;
  int32_t TrackCount = 0;
  int32_t CurrentMeasure = 1;
  int32_t TicksPerMeasure = 1920;
  int32_t WindowNumber = 0;
};
