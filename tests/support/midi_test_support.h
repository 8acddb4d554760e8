// Helpers of the MIDI tests: byte access and the independent reader.
#pragma once

#include "tests/support/run_command.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "midi/midi_event_parser.h"
#include "midi/midi_file_records.h"
#include "render/track_runtime.h"

namespace miditest {

using Bytes = std::vector<uint8_t>;

// Every appended byte of a runtime's list (published or not).
inline Bytes AllBytes(const TTrackRuntime& rt) {
  Bytes out;
  for (size_t i = 0; i < rt.Events.Size(); ++i) {
    out.push_back(rt.Events.At(i));
  }
  return out;
}

inline Bytes ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::filesystem::path SourceDir() {
  return VELTO_SOURCE_DIR;
}

inline std::filesystem::path CorpusDir() {
  return SourceDir() / "tests" / "data" / "midi";
}

// The output of tests/midi/midi_check.py (mido) for a file.
inline std::string MidoSummary(const std::filesystem::path& file) {
  const std::string command = "/usr/bin/python3 '" +
                              (SourceDir() / "tests" / "midi" / "midi_check.py").string() +
                              "' '" + file.string() + "' 2>&1";
  return RunCommand(command).Output;
}

// The same summary as midi_check.py prints, made from our reader's record.
inline std::string ReaderSummary(const TMidiFile& file) {
  std::ostringstream out;
  out << "format " << file.Format << "\ntracks " << file.TrackCount << "\ndivision "
      << file.Division << "\n";
  for (size_t t = 0; t < file.Tracks.size(); ++t) {
    const Bytes& data = file.Tracks[t].Data;
    uint8_t running = 0;
    uint64_t tick = 0;
    bool lastIsEnd = false;
    for (size_t pos = 0; pos < data.size();) {
      TMidiEvent ev;
      if (ParseMidiEvent(data, pos, data.size(), true, running, ev, nullptr) != TMidiParse::Event) {
        out << "unreadable " << t << " " << pos << "\n";
        break;
      }
      tick += ev.Delta;
      pos = ev.Next;
      lastIsEnd = ev.IsEndOfTrack();
      if (ev.Kind() == 0x90 || ev.Kind() == 0x80) {
        out << "note " << t << " " << tick << " " << int(ev.Channel()) << " " << int(ev.Data1)
            << " " << int(ev.Data2) << (ev.Kind() == 0x90 ? " on" : " off") << "\n";
      } else if (ev.IsMeta() && ev.MetaType == 0x51 && ev.PayloadLength == 3) {
        const uint32_t us = (data[ev.PayloadOffset] << 16) | (data[ev.PayloadOffset + 1] << 8) |
                            data[ev.PayloadOffset + 2];
        out << "tempo " << t << " " << tick << " " << us << "\n";
      }
    }
    out << "end " << t << " " << (lastIsEnd ? 1 : 0) << "\n";
  }
  return out.str();
}

}  // namespace miditest
