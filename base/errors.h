// The error record of the notation, handler and MIDI path.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// Where an error lies (TErrors::Source).
enum TErrorSource : uint8_t {
  esHandler = 1,  // a track's handler text
  esMusic = 2,    // a track's music text, the song or a device
  esModule = 3,   // a module file ("name.blk"), the block library among them
};

// Codes added beyond the first message tables.
constexpr uint8_t kErrorNestingTooDeep = 47;   // handler: statements or brackets nest too deep
constexpr uint8_t kErrorPerformTooDeep = 48;   // handler: "perform" nests deeper than allowed
constexpr uint8_t kErrorEndlessHandler = 49;   // handler: too many statements in one tick
constexpr uint8_t kErrorModuleNotRegular = 55; // handler: a module file that is no regular file

// One error: what went wrong, where, and the offending text.
struct TErrors {
  std::string Text;         // detail: the offending token, line or name
  std::string Module;       // module file ("name.blk") for source 3
  uint8_t Code = 0;         // 0 = no error
  uint16_t ModuleLine = 0;  // sources 1 and 3: 1-based line; source 2: the track's TrackIndex
  uint8_t Voice = 0;
  uint8_t Source = 0;       // 1 handler program, 2 music text (song, device), 3 module file
  uint32_t Measure = 0;     // 1-based
  int32_t Extra = 0;        // e.g. the output port for code 18
  // Handler errors: the track whose handler text holds the line (0 = the control track),
  // and at run time the track whose handler ran the statement; -1 when not known.
  int32_t Track = -1;
  int32_t RunningTrack = -1;
  // Song text errors: the line of the song file (1-based) the fault was found on; 0 for none.
  uint32_t TextLine = 0;
};

// The one shared error record. The render thread writes it and the UI reads it,
// so every access goes through the lock; readers take a copy.
class TErrorRecord {
 public:
  // A copy of the whole record.
  TErrors Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return record_;
  }
  // The code alone, without taking the lock.
  uint8_t Code() const { return code_.load(std::memory_order_acquire); }
  // Replaces the whole record; the code becomes visible last.
  void Set(const TErrors& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    record_ = e;
    code_.store(e.Code, std::memory_order_release);
  }
  // Changes fields under the lock: f(TErrors&). The code is published afterwards.
  template <class F>
  void Update(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    f(record_);
    code_.store(record_.Code, std::memory_order_release);
  }
  // Sets the code back to 0, keeping the other fields.
  void ClearCode() {
    Update([](TErrors& e) { e.Code = 0; });
  }
  // Takes the record and clears its code in one step (the reader's side).
  TErrors Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    TErrors copy = record_;
    record_.Code = 0;
    code_.store(0, std::memory_order_release);
    return copy;
  }
  // Back to the zero record.
  void Reset() { Set(TErrors{}); }

 private:
  mutable std::mutex mutex_;
  TErrors record_;
  std::atomic<uint8_t> code_{0};
};

extern TErrorRecord GErrors;
