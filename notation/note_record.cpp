#include "notation/note_record.h"

#include <algorithm>

void AddInterval(std::vector<TIntervalRec>& intervals, uint8_t step, uint8_t octave,
                 TKeySign accidental, uint8_t flagSource, bool skipDuplicates) {
  if (skipDuplicates) {
    bool present = std::any_of(intervals.begin(), intervals.end(), [&](const TIntervalRec& r) {
      return r.Step == step && r.Octave == octave && r.Accidental == accidental;
    });
    if (present) {
      return;
    }
  }
  intervals.push_back({step, octave, accidental, static_cast<uint8_t>(flagSource != 0 ? kIntervalTied : 0)});
}

void FreeIntervals(std::vector<TIntervalRec>& intervals) {
  intervals.clear();
  intervals.shrink_to_fit();
}

void FreeNoteList(std::shared_ptr<TNoteList>& list) {
  list.reset();
}
