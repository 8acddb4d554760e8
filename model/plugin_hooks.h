// Entry points of a format plug-in as the song side calls them. A window's FormatModule is
// nil for the native format; each entry point is a function object that callers test before
// calling: a missing entry point means no call and no error. The plug-in host binds them to
// a library's C entry points, bounding and checking what comes back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "model/track.h"
#include "settings/plugins.h"

struct VeltoControl;  // a control made for the plug-in (pluginhost/plugin_controls.h)
struct VeltoWindow;   // the window as the plug-in sees it (pluginhost/plugin_controls.h)

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

  // Window set-up: control class names (false = none), the format's extension and
  // description, and the window's own controls.
  std::function<bool(std::vector<std::string>& controlClasses)> GetPluginComponent;
  std::function<void(TExtension& extension)> ExtensionInfo;
  std::function<void(VeltoWindow* window)> InitializeForm;
  std::function<void(int32_t what, VeltoWindow* window)> UpdatePluginComponents;
  // Hand the plug-in the program's Speak and LangMessageBox.
  std::function<void()> InitializeJFW;
  std::function<void()> InitializeMessage;

  // Display: status panel texts, preparation, and lines the program editor hides.
  std::function<void(std::string& text, int32_t panel)> GetStatusBar;
  std::function<void(int32_t& ticksPerMeasure, PTreck current)> PrepareParameters;
  std::function<bool(const std::string& line, int32_t& ticksPerMeasure, PTreck head,
                     PTreck current)>
      DeleteMakros;

  // The chosen language id changed.
  std::function<void(const std::string& languageId)> updateLanguage;

  // Events of the controls (control = number 1..255; port = the output port 0..16 of the
  // current track, else of the head track, else 0).
  std::function<void(int32_t control, VeltoWindow* window, int32_t port)> onClickPluginComponent;
  // tempo comes in as 1 and may come back as beats per minute.
  std::function<void(int32_t control, VeltoWindow* window, int32_t port, int32_t& tempo)>
      onChangePluginComponent;
  // One popup item per call ("caption%shortcut" or "caption"); empty ends the menu.
  std::function<void(std::string& text, int32_t control, VeltoWindow* window)> OnPopupMenu;
  // A text to speak when the control gets the focus.
  std::function<void(std::string& text, int32_t control, VeltoWindow* window)>
      onEnterPluginComponent;
  // The ShowTreck mode after the control loses the focus.
  std::function<uint8_t(int32_t control, VeltoWindow* window)> onExitPluginComponent;
  std::function<void(int32_t tag, int32_t index, VeltoWindow* window)> OnClickPopupMenu;
  // key: the virtual-key code, 0..65535 when it comes back (0 swallows the key).
  std::function<void(VeltoWindow* window, VeltoControl* control, int32_t& key, uint8_t shift)>
      PluginKeyDown;
  std::function<void(VeltoWindow* window, VeltoControl* control, int32_t& key, uint8_t shift)>
      PluginKeyUp;
  // text: the item's new name, which the plug-in may change.
  std::function<void(VeltoWindow* window, VeltoControl* listView, int32_t item, std::string& text)>
      onListViewEdited;
};
