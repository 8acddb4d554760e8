#include "tests/support/translation_helpers.h"

std::string DescribeNote(const TNoteRec& note) {
  std::string keys = note.Step == 0 ? "r" : std::to_string(MidiKeyOf(note.Step, note.Accidental, note.Octave));
  for (const TIntervalRec& i : note.Intervals) {
    keys += "+" + std::to_string(MidiKeyOf(i.Step, i.Accidental, i.Octave));
  }
  return keys + ":" + note.Length().ToString();
}

std::vector<std::vector<TPartNotes>> DescribeNotes(const TNoteList* list) {
  std::vector<std::vector<TPartNotes>> measures;
  if (list == nullptr) {
    return measures;
  }
  for (const TNoteRec* n = list->First; n != nullptr; n = n->Next) {
    if (measures.size() < n->Measure) {
      measures.resize(n->Measure);
      // the further voices of this measure hang on its first note of voice 1
      int voice = 2;
      for (const TNoteRec* head = n->VoiceChain; head != nullptr; head = head->VoiceChain, ++voice) {
        measures.back().resize(voice);
        for (const TNoteRec* m = head; m != nullptr; m = m->Next) {
          measures.back()[voice - 1].push_back(DescribeNote(*m));
        }
      }
    }
    if (measures.back().empty()) {
      measures.back().resize(1);
    }
    measures[n->Measure - 1][0].push_back(DescribeNote(*n));
  }
  return measures;
}
