#include "app/song_commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

#include "app/device_error_text.h"
#include "feedback/error_messages.h"
#include "feedback/file_error_text.h"
#include "model/song.h"
#include "model/song_file.h"
#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "platform/stale_temporaries.h"
#include "playback/midi_ports.h"
#include "playback/player.h"
#include "playback/transport.h"
#include "render/render_globals.h"
#include "settings/lang_texts.h"
#include "settings/plugins.h"
#include "settings/settings.h"

namespace {

// The MIDI output error: code 18 of the song table (the handler table's 18 is another).
bool IsPortError(const TErrors& e) { return e.Code == 18 && e.Source == esMusic; }

// The message of the code, its lines joined by blanks (code page 1251).
std::string MessageText(const TErrors& e) {
  return ErrorMessageLine(e.Source == esMusic ? SongErrorMessage(e.Code, e.Text, "")
                                              : HandlerErrorMessage(e.Code, e.Text, ""));
}

// A sentence of the user's language with its place holders filled, in UTF-8: the
// arguments (file names) are UTF-8 already.
std::string Said(int id, std::string_view builtIn, std::initializer_list<std::string_view> args) {
  return SubstituteArgs(Cp1251ToUtf8(LangStrOr(id, builtIn)), args);
}

// A place word of the user's language with its number or name filled in (code page 1251).
std::string PlaceWord(int id, std::string_view builtIn, const std::string& value) {
  return SubstituteArgs(LangStrOr(id, builtIn), {value});
}

PTreck TrackNumbered(const TVelto& song, uint16_t number) {
  PTreck t = song.HeadTreck;
  for (uint16_t i = 0; t != nullptr && i < number; ++i) {
    t = t->Next;
  }
  return t;
}

// "track 2 "Flute"": the number as the window names tracks (the control track 0).
std::string TrackPlace(const TVelto& song, uint16_t number) {
  std::string place = PlaceWord(2150, "трек %s", std::to_string(number));
  if (PTreck t = TrackNumbered(song, number)) {
    place += " \"" + ShortUserText(t->Caption) + "\"";
  }
  return place;
}

std::atomic<bool> command_stop{false};

constexpr auto kProgressPoll = std::chrono::milliseconds(200);
constexpr auto kProgressEvery = std::chrono::seconds(1);

// How far the render is: "45%" of the song, or the measure when the length is unknown.
std::string RenderProgress(const TVelto& window) {
  const uint32_t length = GSongLength.load();
  const uint32_t position = GRenderPosition.load();
  if (length > 0) {
    return std::to_string(std::min<uint64_t>(100, uint64_t{position} * 100 / length)) + "%";
  }
  const uint32_t ticks = static_cast<uint32_t>(std::max(window.TicksPerMeasure, 1));
  return Said(2151, "такт %s", {std::to_string(position / ticks + 1)});
}

// Shows the render's progress on one line of `err`, at most once a second, until the
// render ends.
void ShowProgressUntilDone(const TVelto& window, const std::string& song, std::ostream& err) {
  std::string shown;
  auto next = std::chrono::steady_clock::now();
  while (Transport().Busy()) {
    std::this_thread::sleep_for(kProgressPoll);
    const std::string progress = RenderProgress(window);
    if (std::chrono::steady_clock::now() >= next && progress != shown) {
      err << "\rvelto: " << Said(2185, "генерация %s: %s", {song, progress}) << std::flush;
      shown = progress;
      next = std::chrono::steady_clock::now() + kProgressEvery;
    }
  }
  if (!shown.empty()) {
    err << "\n";
  }
}

// The song's error after a failed export or play, as one line of `err`.
void PrintSongError(const std::string& song, const TVelto& window, std::ostream& err) {
  err << "velto: " << song << ": " << DescribeSongError(GErrors.Get(), window) << "\n";
}

// The exit status of an export that the render has ended.
int ExportResult(const TRenderOutcome& outcome, const TVelto& window, const std::string& song,
                 const std::string& out, std::ostream& err) {
  if (GErrors.Code() != 0) {
    PrintSongError(song, window, err);
    return 1;
  }
  if (outcome.Exported) {
    return 0;
  }
  if (outcome.Stopped || CommandStopRequested()) {
    err << "velto: " << Said(2181, "остановлено; %s не записан", {out}) << "\n";
  } else if (!outcome.ExportError.empty()) {
    err << "velto: " << FileErrorTextUtf8(TFileAction::Save, out, outcome.ExportError) << "\n";
  } else {
    err << "velto: " << Said(2182, "%s не записан: генерация закончилась ошибкой", {out}) << "\n";
  }
  return 1;
}

// Says each device fault noted since the last call on a line of `err`; true when one was.
bool SayDeviceFaults(std::ostream& err) {
  const std::vector<TMidiDeviceFault> faults = TakeMidiDeviceFaults();
  for (const TMidiDeviceFault& fault : faults) {
    err << "velto: " << Cp1251ToUtf8(DeviceFaultText(fault)) << "\n";
  }
  return !faults.empty();
}

// Plays the loaded song on the open ports until it ends or a stop; the exit status (1
// also when a device stopped taking the song's messages).
int PlayOpenSong(TVelto& window, const std::string& song, int32_t device, std::ostream& err) {
  TPlayOptions options;
  options.Device = device;
  if (CommandStopRequested()) {
    err << "velto: " << Said(2180, "остановлено", {}) << "\n";
    return 1;
  }
  if (!Transport().Play(window, options)) {
    if (GErrors.Code() == 0 && CommandStopRequested()) {
      err << "velto: " << Said(2180, "остановлено", {}) << "\n";  // stopped while compiling
    } else {
      PrintSongError(song, window, err);
    }
    return 1;
  }
  // A device that stops taking messages is said while the song plays, not at its end.
  bool faulted = false;
  while (Transport().Busy()) {
    faulted = SayDeviceFaults(err) || faulted;
    std::this_thread::sleep_for(kProgressPoll);
  }
  Transport().Wait();
  faulted = SayDeviceFaults(err) || faulted;
  if (GErrors.Code() != 0) {
    PrintSongError(song, window, err);
    return 1;
  }
  if (CommandStopRequested()) {
    err << "velto: " << Said(2180, "остановлено", {}) << "\n";
    return 1;
  }
  return faulted ? 1 : 0;
}

// Where a handler error lies: the text and line; at run time also the measure and, when
// another track's handler ran the line, that track. The module's name is a place: whole.
std::string HandlerPlace(const TErrors& e, const TVelto& song) {
  const uint16_t track =
      e.Track >= 0 ? static_cast<uint16_t>(e.Track) : TrackNumberOf(song, song.CurrentTrack);
  std::string place;
  if (e.Source == esModule) {
    place = PlaceWord(2154, "модуль %s", e.Module);
    if (e.ModuleLine != 0) {
      place += ", " + PlaceWord(2155, "строка %s", std::to_string(e.ModuleLine));
    }
  } else {
    place = TrackPlace(song, track) + ", " +
            PlaceWord(2156, "строка обработчика %s", std::to_string(e.ModuleLine));
  }
  if (e.Measure != 0) {
    place += ", " + PlaceWord(2151, "такт %s", std::to_string(e.Measure));
  }
  if (e.RunningTrack >= 0 && (e.Source == esModule || e.RunningTrack != e.Track)) {
    place += ", " + PlaceWord(2157, "в обработчике: %s",
                              TrackPlace(song, static_cast<uint16_t>(e.RunningTrack)));
  }
  return place;
}

}  // namespace

std::string DescribeSongError(const TErrors& e, const TVelto& song) {
  std::string place;
  if (IsPortError(e)) {
    place = PlaceWord(2153, "MIDI-порт вывода %s", std::to_string(e.Extra));
  } else if (e.Source == esMusic) {
    place = TrackPlace(song, e.ModuleLine) + ", " +
            PlaceWord(2151, "такт %s", std::to_string(e.Measure)) + ", " +
            PlaceWord(2152, "голос %s", std::to_string(e.Voice));
  } else {
    place = HandlerPlace(e, song);
  }
  return Cp1251ToUtf8(place + ": " + PlaceWord(2158, "ошибка %s", std::to_string(e.Code)) + ": " +
                      MessageText(e));
}

bool LoadSongForCommand(TVelto& window, const std::string& path, std::ostream& err) {
  window.WindowNumber = 1;
  const std::string ext = std::filesystem::path(path).extension().string();
  if (const PModulDll format = FindFormatModule(ext.empty() ? ext : ext.substr(1))) {
    window.FormatModule = format->Format;  // a song of a plug-in's format reads through it
  }
  std::string error;
  if (!LoadSongFile(window, path, std::string(), &error)) {
    err << "velto: " << FileErrorTextUtf8(TFileAction::Open, path, error) << "\n";
    return false;
  }
  RemoveStaleTemporariesBeside(path);  // what a save killed in an earlier run left there
  if (window.HeadTreck != nullptr) {
    window.CurrentTrack = window.HeadTreck->Next != nullptr ? window.HeadTreck->Next : window.HeadTreck;
  }
  window.CurrentMeasure = 1;
  return true;
}

std::string ExportTargetProblem(const std::string& song, const std::string& out) {
  if (out.empty()) {
    return Said(2186, "не назван файл, в который писать", {});
  }
  const std::string problem = OutputFileProblem(out, {song});
  if (problem.starts_with("refusing to write ")) {
    return Said(2187, "%s не записываю: это сам сонг %s, он бы пропал", {out, song});
  }
  return problem.empty() ? problem : FileErrorTextUtf8(TFileAction::Save, out, problem);
}

void RequestCommandStop() {
  command_stop = true;
  RenderRun().Stop = true;
  RequestPlayerStop();
}

bool CommandStopRequested() { return command_stop.load(); }

void ResetCommandStop() { command_stop = false; }

int ExportSongCommand(const std::string& song, const std::string& out, std::ostream& err,
                      bool showProgress) {
  if (const std::string problem = ExportTargetProblem(song, out); !problem.empty()) {
    err << "velto: " << problem << "\n";
    return 1;
  }
  TVelto window;
  if (!LoadSongForCommand(window, song, err)) {
    return 1;
  }
  GErrors.Reset();
  TPlayOptions options;
  options.ExportFile = out;
  if (CommandStopRequested()) {
    err << "velto: " << Said(2181, "остановлено; %s не записан", {out}) << "\n";
    return 1;
  }
  if (!Transport().Play(window, options)) {
    return ExportResult(TRenderOutcome{}, window, song, out, err);  // an error, or a stop while compiling
  }
  if (showProgress) {
    ShowProgressUntilDone(window, song, err);
  }
  return ExportResult(Transport().Wait(), window, song, out, err);
}

int PlaySongCommand(const std::string& song, std::optional<int32_t> device, std::ostream& err) {
  TVelto window;
  if (!LoadSongForCommand(window, song, err)) {
    return 1;
  }
  GErrors.Reset();
  EnumMidiOutDevices();
  const int32_t chosen = device.value_or(StartingMidiOutDevice(GMidiOutDeviceList));
  if (chosen < 0 || static_cast<size_t>(chosen) >= GMidiOutDeviceList.size()) {
    const std::string problem = MidiOutDeviceProblem(nullptr);
    err << "velto: "
        << Said(2183, "нет MIDI-устройства вывода %s (velto --list-devices)", {std::to_string(chosen)})
        << (problem.empty() ? "" : ": " + problem) << "\n";
    return 1;
  }
  int status = 1;
  if (!OpenMidiOuts(chosen)) {
    const TErrors error = GErrors.Get();  // the port that failed, named with its own device
    err << "velto: " << DescribeSongError(error, window) << " (" << PortDeviceNameUtf8(error.Extra, chosen)
        << ")\n";
  } else {
    status = PlayOpenSong(window, song, chosen, err);
  }
  Transport().Stop();
  for (int port = 0; port <= GLastMidiOut && port < kMidiPortCount; ++port) {
    CloseMidiOut(port);
  }
  return status;
}

int ListDevicesCommand(std::ostream& out, std::ostream& err) {
  const std::vector<std::string> names = EnumMidiOutDevices();
  for (size_t i = 0; i < names.size(); ++i) {
    out << i << ": " << names[i] << "\n";
  }
  if (const std::string problem = MidiOutDeviceProblem(nullptr); !problem.empty()) {
    err << "velto: " << problem << "\n";
  }
  return 0;
}

int RunCommandGuarded(const std::function<int()>& command, std::ostream& err) {
  try {
    return command();
  } catch (const std::bad_alloc&) {
    err << "velto: " << Said(2184, "не хватает памяти: сонг слишком велик для этого компьютера", {})
        << "\n";
  } catch (const std::length_error&) {
    err << "velto: " << Said(2184, "не хватает памяти: сонг слишком велик для этого компьютера", {})
        << "\n";
  }
  return 1;
}
