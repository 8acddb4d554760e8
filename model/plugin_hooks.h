// Entry points of a format plug-in as the song side calls them. No plug-in is loaded on
// Linux; a window's FormatModule stays nil, and each entry point is an empty function object
// that callers test before calling: a missing entry point means no call and no error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "model/track.h"
#include "settings/plugins.h"

class TVelto;

struct TFormatEntryPoints {
  // Song text: per program line read, and when the program text is committed.
  std::function<void(const std::string& line, int32_t& ticksPerMeasure, PTreck head,
                     PTreck current)>
      GetMakros;
  std::function<void(int32_t& ticksPerMeasure, PTreck& current)> SetMakros;

  // Song preparation and compiling: true = the plug-in did the work itself.
  std::function<bool(PTreck& head, PTreck& start, PTreck& current, int32_t& ticksPerMeasure,
                     int32_t& currentMeasure, TErrors& errors)>
      InitialNotes;
  std::function<bool(PTreck& control, PTreck& current, PTreck& shown, const std::string& songName,
                     int32_t& ticksPerMeasure, int32_t& errorMeasure, int32_t& windowValueA,
                     int32_t& windowValueB, TErrors& errors)>
      InitialPrograms;
  // Fills lines with the handler lines of track in place of the track's own.
  std::function<void(PTreck track, std::vector<std::string>& lines)> InitializeHandler;
  // May change the ticks per measure.
  std::function<void(int32_t& ticksPerMeasure, PTreck head)> RestoreParameters;
  // Called before an auditioned note sounds, with the output port and the current track.
  std::function<void(int32_t port, PTreck current)> SendMidiMessage;

  // Window set-up: control class names (nil result = none), the format's extension and
  // description, and the window's own controls.
  std::function<bool(std::vector<std::string>& controlClasses)> GetPluginComponent;
  std::function<void(TExtension& extension)> ExtensionInfo;
  std::function<void(TVelto& window)> InitializeForm;
  std::function<void(int32_t what, TVelto& window)> UpdatePluginComponents;
  std::function<void(std::function<void(const std::string& text, int32_t interrupt)> speak)>
      InitializeJFW;
  std::function<void(std::function<int32_t(const std::string& text, int32_t kind)> messageBox)>
      InitializeMessage;

  // Display: status panel texts, preparation, and lines the program editor hides.
  std::function<void(std::string& text, int32_t panel)> GetStatusBar;
  std::function<void(int32_t& ticksPerMeasure, PTreck current)> PrepareParameters;
  std::function<bool(const std::string& line, int32_t& ticksPerMeasure, PTreck head,
                     PTreck current)>
      DeleteMakros;

  // The chosen language id changed.
  std::function<void(const std::string& languageId)> updateLanguage;
};
