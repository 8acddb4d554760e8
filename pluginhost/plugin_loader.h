// Loading the plug-in libraries of the program's Plugins folder into the plug-in lists
// (settings/plugins.h), with their C entry points bound to the function objects the song
// side calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "settings/plugins.h"

class TSharedLibrary;

// Loads every shared library ("*.so", any case) of the folder "Plugins" (any case) under
// programDir, in name order, and appends each to MenuModules, FormatModules or
// WindowModules by the kind it tells. A library that cannot be loaded, lacks
// VeltoPluginAbiVersion or GetModuleInfo, answers another ABI version or tells no valid kind
// is skipped. Answers one line (UTF-8) per library skipped, naming it and why.
std::vector<std::string> LoadPlugins(const std::string& programDir);

// The plug-in record of a loaded library, bound to its entry points, and its kind
// (VELTO_MODULE_*); null with *problem set when it is not a plug-in of this program.
PModulDll BindPlugin(std::shared_ptr<TSharedLibrary> library, int32_t* kind, std::string* problem);

// Empties the three lists. A library stays loaded while a window or a render still holds
// its entry points.
void UnloadPlugins();

// Tells the user about a plug-in that misbehaves (UTF-8; on stderr).
void ReportPluginProblem(const std::string& text);
