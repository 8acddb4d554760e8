// The song's MIDI files for the handler compiler: the control track's list of files
// loaded by "midi NAME='FILE'" statements.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "playback/handler_compiler.h"
#include "playback/midi_file_records.h"

class TSongMidiFiles final : public THandlerMidiFiles {
 public:
  // Works on the list at `head` (borrowed: the control track's HandlerMidiFiles).
  explicit TSongMidiFiles(std::unique_ptr<TMidi>& head) : head_(head) {}

  int FindIndex(std::string_view name) const override;
  // Reads the file and puts it at the head of the list; -1 (and the list unchanged)
  // when the reader refuses it. The record's FileName is the path in code page 1251.
  int Load(const std::string& path, const std::string& name) override;

 private:
  std::unique_ptr<TMidi>& head_;
};
