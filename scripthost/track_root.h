// The root object of a song window's script object model and its measure-level object.
#pragma once

#include <cstdint>
#include <memory>

class TVelto;  // the song window that owns the objects (borrowed)

// The measure-level object of a window's script object model.
class TMeasure {
 public:
  explicit TMeasure(TVelto* owner) : Owner(owner) {}
  TVelto* Owner;  // borrowed
};

// The root object: records its window, starts at track position 0 and owns its TMeasure.
class TTrack {
 public:
  explicit TTrack(TVelto* owner) : Owner(owner), Measure(std::make_unique<TMeasure>(owner)) {}
  TTrack(const TTrack&) = delete;
  TTrack& operator=(const TTrack&) = delete;

  TVelto* Owner;      // borrowed
  int32_t Position = 0;  // track position; set back to 0 whenever a track is removed
  std::unique_ptr<TMeasure> Measure;
};
