// libFuzzer target: any music lines of one track translate to notes or to an error. Notes
// in full measures, without tuplets and in octaves 1..9, are written back as Braille, and
// that text translates to the same keys and lengths, measure by measure and voice by voice
// (rests in a row may be joined, a chord's keys count once each).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "notation/braille_translation.h"
#include "notation/braille_writer.h"
#include "notation/measure_cache.h"
#include "base/note_arithmetic.h"
#include "notation/notation_state.h"
#include "base/rational.h"
#include "notation/value_resolution.h"

namespace {

// The notes of one voice of a measure: keys ("r" for a rest, then the chord's further keys
// in ascending order, joined by "+") and length. Rests in a row count as one: the writer
// may join them.
struct TPart {
  std::vector<std::string> Keys;
  std::vector<TRational> Lengths;
  bool operator==(const TPart&) const = default;

  void Add(const TNoteRec& note) {
    std::string keys = note.Step == 0 ? "r" : std::to_string(MidiKeyOf(note.Step, note.Accidental, note.Octave));
    std::set<int32_t> chord;  // a key given twice sounds once
    for (const TIntervalRec& i : note.Intervals) {
      chord.insert(MidiKeyOf(i.Step, i.Accidental, i.Octave));
    }
    for (int32_t key : chord) {
      keys += "+" + std::to_string(key);
    }
    if (keys == "r" && !Keys.empty() && Keys.back() == "r") {
      Lengths.back() += note.Length();
      return;
    }
    Keys.push_back(keys);
    Lengths.push_back(note.Length());
  }
};

// The parts of every measure, voice by voice.
using TDescription = std::vector<std::vector<TPart>>;

TDescription Describe(const TNoteList* list) {
  TDescription measures;
  for (const TNoteRec* n = list == nullptr ? nullptr : list->First; n != nullptr; n = n->Next) {
    FUZZ_CHECK(n->Measure >= 1 && n->Measure >= measures.size());
    if (measures.size() < n->Measure) {
      measures.resize(n->Measure);
      measures.back().resize(1);
      for (const TNoteRec* head = n->VoiceChain; head != nullptr; head = head->VoiceChain) {
        measures.back().emplace_back();
        for (const TNoteRec* m = head; m != nullptr; m = m->Next) {
          measures.back().back().Add(*m);
        }
      }
    }
    measures.back()[0].Add(*n);
  }
  return measures;
}

// Octave signs exist for octaves 1..9 only: a note or chord note elsewhere (a chord note
// may lie above octave 9) cannot be written.
bool Writable(const TNoteRec& note) {
  auto signed_ = [](int32_t octave) { return octave >= 1 && octave <= 9; };
  return note.Tuplet == 1 && (note.Step == 0 || signed_(note.Octave)) &&
         std::all_of(note.Intervals.begin(), note.Intervals.end(),
                     [&](const TIntervalRec& i) { return signed_(i.Octave); });
}

// True when every note is writable, none is in a tuplet, and every voice of every measure
// lasts exactly as long as its time signature says. Rest values cannot fill every gap (less than 1/128): a
// measure short of its length is written back with the notes of the next one. The writer
// groups tuplets by their count of notes, where the reader also accepts a group cut short
// by the next tuplet sign.
bool WritesBack(const TNoteList& list) {
  std::array<std::optional<TSignatureRec>, kVoiceCount + 1> signatures;
  auto take = [&](const TNoteRec& note, size_t voice) {
    if (note.Signature) {
      signatures[voice] = note.Signature;
      for (size_t other = voice + 1; voice == 1 && other < signatures.size(); ++other) {
        signatures[other].reset();
      }
    }
  };
  auto length = [&](size_t voice) {
    while (voice > 1 && !signatures[voice]) {
      --voice;
    }
    return signatures[voice] ? MeasureLength(signatures[voice]->Numerator, signatures[voice]->Denominator)
                             : TRational::Invalid();
  };
  for (const TNoteRec* head = list.First; head != nullptr;) {
    TRational sum(0);
    const TNoteRec* n = head;
    bool unwritable = false;
    for (; n != nullptr && n->Measure == head->Measure; n = n->Next) {
      take(*n, 1);
      sum += n->Length();
      unwritable = unwritable || !Writable(*n);
    }
    if (unwritable || sum != length(1)) {
      return false;
    }
    size_t voice = 2;
    for (const TNoteRec* part = head->VoiceChain; part != nullptr && voice < signatures.size();
         part = part->VoiceChain, ++voice) {
      TRational partSum(0);
      for (const TNoteRec* m = part; m != nullptr; m = m->Next) {
        take(*m, voice);
        partSum += m->Length();
        unwritable = unwritable || !Writable(*m);
      }
      if (unwritable || partSum != length(voice)) {
        return false;
      }
    }
    head = n;
  }
  return true;
}

std::shared_ptr<TNoteList> Translate(const std::vector<std::string>& lines, TErrorRecord& errors) {
  TMeasureCache cache;
  TTranslateOptions options;
  options.Cache = &cache;
  options.FindBlock = [](uint8_t, std::string&) {};
  return TranslateBrailleText(lines, 1, errors, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = InputLines(data, size);
  TErrorRecord errors;
  std::shared_ptr<TNoteList> list = Translate(lines, errors);
  if (errors.Code() != 0) {
    FUZZ_CHECK(list == nullptr);
    return 0;
  }
  const TDescription notes = Describe(list.get());
  if (list == nullptr || !WritesBack(*list)) {
    return 0;
  }
  std::vector<std::string> written;
  NoteListToBraille(false, list->First, written, 1920, "", 1, 1);
  TErrorRecord again;
  std::shared_ptr<TNoteList> reread = Translate(written, again);
  FUZZ_CHECK(again.Code() == 0);
  FUZZ_CHECK(Describe(reread.get()) == notes);
  return 0;
}
