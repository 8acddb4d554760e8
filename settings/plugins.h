// Plug-in records and lists. The plug-in host fills the lists when the program starts;
// every entry point is a function object that callers test before calling: a missing
// entry point means no call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TFormatEntryPoints;  // entry points of a format plug-in (model/plugin_hooks.h)

// What a plug-in tells about itself.
struct TModuleInfo {
  std::string ModuleName;       // for a format plug-in: the extension it handles
  bool ProvidesBlocks = false;  // FindBlock and InsertBLKModule are asked
  bool EditsHandler = false;    // EditingHandler is asked
  bool EditsNotes = false;      // EditingNotes is asked
  intptr_t Handle = 0;          // the loaded library; 0 = none
};

// Extension and file-type description filled by a format plug-in's ExtensionInfo.
struct TExtension {
  std::string Extension;
  std::string Description;
};

// A loaded plug-in. Menu plug-ins carry the four menu entry points; a format plug-in carries
// its bound entry points in Format.
struct TModulDll {
  TModuleInfo Info;
  // Menu entry points (asked only when the matching Info flag is set).
  std::function<void(int32_t trackNumber, std::string& label)> FindBlock;
  std::function<void(int32_t trackCount, std::vector<std::string>& handlerLines)> InsertBLKModule;
  std::function<void(int32_t trackNumber, std::vector<std::string>& handlerLines)> EditingHandler;
  std::function<void(int32_t trackCount, std::vector<std::string>& brailleLines)> EditingNotes;
  // Format entry points; nil for a menu plug-in.
  std::shared_ptr<TFormatEntryPoints> Format;
  // Keeps the library loaded while the record lives (owned; empty for a plug-in made in code).
  std::shared_ptr<void> Library;
};
using PModulDll = std::shared_ptr<TModulDll>;

// Loaded menu plug-ins and format plug-ins, in list order.
extern std::vector<PModulDll> MenuModules;
extern std::vector<PModulDll> FormatModules;
extern std::vector<PModulDll> WindowModules;

// The first format plug-in whose name equals ext, Latin capitals made small in both; nil
// for the native extension "qem" and for an extension no plug-in claims.
PModulDll FindFormatModule(const std::string& ext);
