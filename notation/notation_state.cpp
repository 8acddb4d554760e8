#include "notation/notation_state.h"

#include <algorithm>

void TReaderContext::Reset() {
  Voices.fill(TVoiceState());
  PendingSigns.clear();
  PendingSigns.reserve(kMaxPendingSigns);
  MeasureStart = false;
  OctaveBeforeSign = 0;
  LastClef.clear();
  Transposition = 128;
  OrnamentNumber = 0;
  OrnamentAccidental = TKeySign::No;
  AttachedText.clear();
  HexText.clear();
  BlockText.clear();
  LabelText.clear();
  OctaveSignGiven = false;
  IntervalDoubled = false;
  IntervalOctave = 0;
  ChordTieRepeat = 0;
}

bool TReaderContext::Pending(TSignKind kind) const {
  return std::find(PendingSigns.begin(), PendingSigns.end(), kind) != PendingSigns.end();
}
