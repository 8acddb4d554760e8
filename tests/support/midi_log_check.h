// Reading the file of the MIDI log device ("ms byte byte ..." per message) in tests.
#pragma once

#include <array>
#include <sstream>
#include <string>
#include <vector>

// What a MIDI log shows: how many notes were struck, and the channels (0..15) where a note
// was struck after the channel's last All Notes Off (controller 123), so still sounding.
struct TMidiLogSummary {
  int NoteOns = 0;
  std::vector<int> StillSounding;
};

inline TMidiLogSummary SummariseMidiLog(const std::string& text) {
  TMidiLogSummary summary;
  std::array<bool, 16> sounding{};
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    long ms = 0;
    std::vector<int> bytes;
    std::string hex;
    fields >> ms;
    while (fields >> hex) {
      bytes.push_back(std::stoi(hex, nullptr, 16));
    }
    if (bytes.size() == 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] > 0) {
      ++summary.NoteOns;
      sounding[bytes[0] & 0x0F] = true;
    } else if (bytes.size() == 3 && (bytes[0] & 0xF0) == 0xB0 && bytes[1] == 123) {
      sounding[bytes[0] & 0x0F] = false;
    }
  }
  for (int channel = 0; channel < 16; ++channel) {
    if (sounding[channel]) {
      summary.StillSounding.push_back(channel);
    }
  }
  return summary;
}
