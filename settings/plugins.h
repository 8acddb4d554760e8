// Plug-in records and lists. No plug-in is loaded on Linux: the lists stay empty, and every
// entry point is an empty function object that callers test before calling.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TFormatEntryPoints;  // entry points of a format plug-in (notation/plugin_hooks.h)

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
};
using PModulDll = std::shared_ptr<TModulDll>;

// Loaded menu plug-ins and format plug-ins, in list order.
extern std::vector<PModulDll> MenuModules;
extern std::vector<PModulDll> FormatModules;
extern std::vector<PModulDll> WindowModules;
