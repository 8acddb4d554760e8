#include "render/render_globals.h"

#include "base/note_arithmetic.h"
#include "notation/note_record.h"

std::atomic<uint32_t> GSongLength{0};
std::atomic<uint32_t> GRenderPosition{0};
std::atomic<bool> GRenderStop{false};
std::atomic<bool> GPrepareAgain{false};
int GTrackCount = 0;
uint16_t GPlayVoice = 0;
std::array<long double, kVoiceCount> VoiceWholeNoteTicks;
std::array<uint8_t, kVoiceCount> VoiceBeats;
std::array<uint8_t, kVoiceCount> VoiceBeatValue;
THandlerInterruption GHandlerInterruption;

TRenderContext GRender;

void ResetRenderContext() { GRender = TRenderContext(); }

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
