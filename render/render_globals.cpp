#include "render/render_globals.h"

#include "base/note_arithmetic.h"
#include "notation/note_record.h"

std::atomic<uint32_t> GSongLength{0};
std::atomic<uint32_t> GRenderPosition{0};
std::atomic<bool> GRendering{false};
std::atomic<bool> GPlayerStarted{false};
std::atomic<bool> GPrepareAgain{false};
std::array<long double, kVoiceCount> VoiceWholeNoteTicks;
std::array<uint8_t, kVoiceCount> VoiceBeats;
std::array<uint8_t, kVoiceCount> VoiceBeatValue;
THandlerInterruption GHandlerInterruption;

TRenderContext GRender;

void ResetRenderContext() { GRender = TRenderContext(); }

namespace {

TRenderRun gOwnRun;
std::atomic<TRenderRun*> gInstalledRun{nullptr};

}  // namespace

void TRenderRun::Reset(uint16_t fromMeasure, uint16_t voice) {
  Stop = false;
  FromMeasure = fromMeasure == 0 ? 1 : fromMeasure;
  StartMeasure = FromMeasure;
  Voice = voice;
  TrackCount = 0;
}

TRenderRun& RenderRun() {
  TRenderRun* installed = gInstalledRun.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : gOwnRun;
}

void SetRenderRun(TRenderRun* run) { gInstalledRun.store(run, std::memory_order_release); }

void TNeighbourLength::SetWritten(const TNoteRec& note, long double wholeTicks, long double less) {
  written_ = true;
  kind_ = note.ValueKind;
  value_ = static_cast<uint8_t>(note.Value);
  dots_ = note.Dots;
  tuplet_ = note.Tuplet;
  wholeTicks_ = wholeTicks;
  less_ = less;
}

long double TNeighbourLength::Value() const {
  if (!written_) {
    return length_;
  }
  return NoteDuration(kind_, value_, dots_, tuplet_, wholeTicks_) - less_;
}
