// Songs built in code for the render-side tests: a linked track list, note lists written
// as short texts, and a fixture that resets every global the render side reads.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "notation/note_record.h"
#include "model/track.h"
#include "render/render_globals.h"
#include "render/track_runtime.h"
#include "settings/settings.h"
#include "tests/support/handler_test_support.h"

// A song of linked tracks: track 0 is the control track (channel 0).
class TTestSong {
 public:
  explicit TTestSong(int trackCount) {
    for (int i = 0; i < trackCount; ++i) {
      auto t = std::make_unique<TTreck>();
      t->Caption = "track" + std::to_string(i);
      t->Channel = static_cast<uint8_t>(i);
      if (!tracks_.empty()) {
        t->Prev = tracks_.back().get();
        tracks_.back()->Next = t.get();
      }
      tracks_.push_back(std::move(t));
    }
  }
  TTreck& operator[](size_t i) { return *tracks_[i]; }
  PTreck Head() { return tracks_.front().get(); }

 private:
  std::vector<std::unique_ptr<TTreck>> tracks_;
};

// Builds note lists from words: "c4" (step letter, cell value), "r4" a rest, "-" ends a
// voice's run in this measure; "|" starts the next measure, "/" the next voice of the
// measure. Modifiers after a note: ".": dot, "'3/4": time signature, "@text": block call,
// "<text": label, "$text": attached (voice-part) text, "^n": transposition of n semitones.
// Notes are quarter-cell values of the large kind.
class TNoteBuilder {
 public:
  // Parses `text` into `list` (voice 1 joined over the measures).
  static std::shared_ptr<TNoteList> Build(std::string_view text) {
    auto list = std::make_shared<TNoteList>();
    std::vector<std::vector<std::vector<TNoteRec*>>> measures(
        1, std::vector<std::vector<TNoteRec*>>(1));
    TNoteRec* last = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
      const size_t end = text.find(' ', pos);
      std::string word(
          text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
      pos = end == std::string_view::npos ? text.size() : end + 1;
      if (word.empty()) {
        continue;
      }
      if (word == "|") {
        measures.emplace_back(1);
        continue;
      }
      if (word == "/") {
        measures.back().emplace_back();
        continue;
      }
      if (word[0] == '.' && last != nullptr) {
        ++last->Dots;
        continue;
      }
      if (word[0] == '\'' && last != nullptr) {
        const size_t slash = word.find('/');
        last->Signature = TSignatureRec{static_cast<uint8_t>(std::stoi(word.substr(1, slash - 1))),
                                        static_cast<uint8_t>(std::stoi(word.substr(slash + 1))), 0};
        continue;
      }
      if (word[0] == '@' && last != nullptr) {
        last->BlockText = word.substr(1);
        continue;
      }
      if (word[0] == '<' && last != nullptr) {
        last->LabelText = word.substr(1);
        continue;
      }
      if (word[0] == '$' && last != nullptr) {
        last->AttachedText = word.substr(1);
        continue;
      }
      if (word[0] == '^' && last != nullptr) {
        last->Transposition = static_cast<uint8_t>(128 + std::stoi(word.substr(1)));
        continue;
      }
      last = list->NewNote();
      last->Step = word[0] == 'r' ? 0 : StepOf(word[0]);
      last->Octave = 5;
      last->Value = std::stoi(word.substr(1));
      last->ValueKind = kValueKindLarge;
      measures.back().back().push_back(last);
    }
    Link(*list, measures);
    return list;
  }

 private:
  static int StepOf(char c) { return static_cast<int>(std::string_view("cdefgab").find(c)) + 1; }

  static void Link(TNoteList& list, std::vector<std::vector<std::vector<TNoteRec*>>>& measures) {
    TNoteRec* lastOfVoice1 = nullptr;
    for (auto& measure : measures) {
      for (auto& voice : measure) {
        for (size_t i = 1; i < voice.size(); ++i) {
          voice[i - 1]->Next = voice[i];
        }
      }
      if (measure[0].empty()) {
        continue;
      }
      if (lastOfVoice1 == nullptr) {
        list.First = measure[0].front();
      } else {
        lastOfVoice1->Next = measure[0].front();
      }
      lastOfVoice1 = measure[0].back();
      for (size_t v = 1; v < measure.size(); ++v) {
        if (!measure[v].empty()) {
          measure[v - 1].front()->VoiceChain = measure[v].front();
        }
      }
    }
  }
};

// Every global of the handler language and the render side starts empty.
class RenderGlobalsTest : public HandlerGlobalsTest {
 protected:
  void SetUp() override {
    HandlerGlobalsTest::SetUp();
    ResetRenderContext();
    GSongLength = 0;
    RenderRun().Reset(1, 0);
    GPrepareAgain = false;
    savedProgramDir_ = ProgramDir;
    ProgramDir = std::string(VELTO_SOURCE_DIR) + "/resources/";
  }
  void TearDown() override {
    ProgramDir = savedProgramDir_;
    ResetRenderContext();
    HandlerGlobalsTest::TearDown();
  }

 private:
  std::string savedProgramDir_;
};
