#include "app/song_commands.h"

#include <ostream>
#include <vector>

#include "feedback/error_messages.h"
#include "model/song.h"
#include "model/song_file.h"
#include "platform/codec1251.h"
#include "playback/midi_ports.h"
#include "playback/player.h"
#include "playback/transport.h"
#include "settings/settings.h"

namespace {

// The MIDI output error: code 18 of the song table (the handler table's 18 is another).
bool IsPortError(const TErrors& e) { return e.Code == 18 && e.Source == esMusic; }

// The message of the code, its lines joined by blanks (UTF-8).
std::string MessageText(const TErrors& e) {
  const std::string text = e.Source == esMusic ? SongErrorMessage(e.Code, e.Text, "")
                                               : HandlerErrorMessage(e.Code, e.Text, "");
  std::string joined;
  std::string line;
  auto flush = [&] {
    if (!line.empty()) {
      joined += (joined.empty() ? "" : " ") + line;
      line.clear();
    }
  };
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      flush();
    } else {
      line += c;
    }
  }
  flush();
  return Cp1251ToUtf8(joined);
}

PTreck TrackNumbered(const TVelto& song, uint16_t number) {
  PTreck t = song.HeadTreck;
  for (uint16_t i = 0; t != nullptr && i < number; ++i) {
    t = t->Next;
  }
  return t;
}

std::string TrackPlace(const TVelto& song, uint16_t number) {
  std::string place = "track " + std::to_string(number);
  if (PTreck t = TrackNumbered(song, number)) {
    place += " \"" + Cp1251ToUtf8(ShortUserText(t->Caption)) + "\"";
  }
  return place;
}

// The track whose text a handler error lies in: the one the compiler showed.
uint16_t NumberOf(const TVelto& song, PTreck track) {
  uint16_t n = 0;
  for (PTreck t = song.HeadTreck; t != nullptr && t != track; t = t->Next) {
    ++n;
  }
  return n;
}

TPlayOptions PlayOn(int32_t device) {
  TPlayOptions options;
  options.Device = device;
  return options;
}

// Where a handler error lies: the text and line; at run time also the measure and, when
// another track's handler ran the line, that track.
std::string HandlerPlace(const TErrors& e, const TVelto& song) {
  const uint16_t track =
      e.Track >= 0 ? static_cast<uint16_t>(e.Track) : NumberOf(song, song.CurrentTrack);
  std::string place;
  if (e.Source == esModule) {
    place = "module " + Cp1251ToUtf8(ShortUserText(e.Module));
    if (e.ModuleLine != 0) {
      place += ", line " + std::to_string(e.ModuleLine);
    }
  } else {
    place = TrackPlace(song, track) + ", handler program line " + std::to_string(e.ModuleLine);
  }
  if (e.Measure != 0) {
    place += ", measure " + std::to_string(e.Measure);
  }
  if (e.RunningTrack >= 0 && (e.Source == esModule || e.RunningTrack != e.Track)) {
    place += ", in the handler of " + TrackPlace(song, static_cast<uint16_t>(e.RunningTrack));
  }
  return place;
}

}  // namespace

std::string DescribeSongError(const TErrors& e, const TVelto& song) {
  std::string place;
  if (IsPortError(e)) {
    place = "MIDI output port " + std::to_string(e.Extra);
  } else if (e.Source == esMusic) {
    place = TrackPlace(song, e.ModuleLine) + ", measure " + std::to_string(e.Measure) + ", voice " +
            std::to_string(e.Voice);
  } else {
    place = HandlerPlace(e, song);
  }
  return place + ": error " + std::to_string(e.Code) + ": " + MessageText(e);
}

bool LoadSongForCommand(TVelto& window, const std::string& path, std::ostream& err) {
  window.WindowNumber = 1;
  std::string error;
  if (!LoadSongFile(window, path, std::string(), &error)) {
    err << "velto: " << error << "\n";  // the reason names the file
    return false;
  }
  if (window.HeadTreck != nullptr) {
    window.CurrentTrack = window.HeadTreck->Next != nullptr ? window.HeadTreck->Next : window.HeadTreck;
  }
  window.CurrentMeasure = 1;
  return true;
}

int ExportSongCommand(const std::string& song, const std::string& out, std::ostream& err) {
  TVelto window;
  if (!LoadSongForCommand(window, song, err)) {
    return 1;
  }
  GErrors.Reset();
  std::string error;
  const bool written = Transport().Export(window, out, &error);
  if (GErrors.Code() != 0) {
    err << "velto: " << song << ": " << DescribeSongError(GErrors.Get(), window) << "\n";
    return 1;
  }
  if (!written) {
    err << "velto: " << out << ": " << error << "\n";
    return 1;
  }
  return 0;
}

int PlaySongCommand(const std::string& song, int32_t device, std::ostream& err) {
  TVelto window;
  if (!LoadSongForCommand(window, song, err)) {
    return 1;
  }
  GErrors.Reset();
  EnumMidiOutDevices();
  if (device < 0 || static_cast<size_t>(device) >= GMidiOutDeviceList.size()) {
    err << "velto: there is no MIDI output device " << device << " (velto --list-devices)\n";
    return 1;
  }
  int status = 0;
  if (!OpenMidiOuts(device)) {
    err << "velto: " << DescribeSongError(GErrors.Get(), window) << " ("
        << GMidiOutDeviceList[device].Name << ")\n";
    status = 1;
  } else if (!Transport().Play(window, PlayOn(device))) {
    err << "velto: " << song << ": " << DescribeSongError(GErrors.Get(), window) << "\n";
    status = 1;
  } else {
    Transport().Wait();
    if (GErrors.Code() != 0) {
      err << "velto: " << song << ": " << DescribeSongError(GErrors.Get(), window) << "\n";
      status = 1;
    }
  }
  Transport().Stop();
  for (int port = 0; port <= GLastMidiOut && port < kMidiPortCount; ++port) {
    CloseMidiOut(port);
  }
  return status;
}

int ListDevicesCommand(std::ostream& out) {
  const std::vector<std::string> names = EnumMidiOutDevices();
  for (size_t i = 0; i < names.size(); ++i) {
    out << i << ": " << names[i] << "\n";
  }
  return 0;
}
