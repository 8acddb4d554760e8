#include "pluginhost/plugin_loader.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "model/plugin_hooks.h"
#include "platform/codec1251.h"
#include "platform/paths.h"
#include "platform/shared_library.h"
#include "pluginhost/plugin_controls.h"
#include "pluginhost/plugin_views.h"

namespace {

using TLibrary = std::shared_ptr<TSharedLibrary>;

constexpr int32_t kLastMeasure = 65535;

// The entry point `name` of library, typed as its declaration in velto_plugin.h; null
// when the library has none.
template <typename Function>
Function* EntryPoint(const TSharedLibrary& library, const char* name) {
  return reinterpret_cast<Function*>(library.Symbol(name));
}
#define VELTO_ENTRY(library, name) EntryPoint<decltype(::name)>(library, #name)

// Takes a plug-in's answer for a value that must lie in first..last; another answer
// leaves the value as it was.
void TakeBounded(int32_t& value, int32_t answer, int32_t first, int32_t last) {
  if (answer >= first && answer <= last) {
    value = answer;
  }
}

void TakeTicks(int32_t& ticks, int32_t answer) {
  TakeBounded(ticks, answer, 1, kMaxPluginTicksPerMeasure);
}

// A text handed to the plug-in to fill, read back afterwards.
std::string FilledText(std::string initial, size_t limit, bool oneLine,
                       const std::function<void(VeltoText*)>& call) {
  VeltoText text{std::move(initial), limit, oneLine};
  call(&text);
  return std::move(text.Value);
}

void BindMenu(TModulDll& module, const TLibrary& lib, uint32_t flags) {
  module.Info.ProvidesBlocks = (flags & VELTO_PROVIDES_BLOCKS) != 0;
  module.Info.EditsHandler = (flags & VELTO_EDITS_HANDLER) != 0;
  module.Info.EditsNotes = (flags & VELTO_EDITS_NOTES) != 0;
  if (auto* f = VELTO_ENTRY(*lib, FindBlock)) {
    module.FindBlock = [f, lib](int32_t track, std::string& label) {
      label = FilledText(label, kPluginLineLimit, true, [&](VeltoText* t) { f(track, t); });
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, InsertBLKModule)) {
    module.InsertBLKModule = [f, lib](int32_t count, std::vector<std::string>& lines) {
      f(count, LinesView(lines));
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, EditingHandler)) {
    module.EditingHandler = [f, lib](int32_t track, std::vector<std::string>& lines) {
      f(track, LinesView(lines));
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, EditingNotes)) {
    module.EditingNotes = [f, lib](int32_t count, std::vector<std::string>& lines) {
      f(count, LinesView(lines));
    };
  }
}

// The entry points of the song side.
void BindSong(TFormatEntryPoints& e, const TLibrary& lib) {
  if (auto* f = VELTO_ENTRY(*lib, GetMakros)) {
    e.GetMakros = [f, lib](const std::string& line, int32_t& ticks, PTreck head, PTreck current) {
      int32_t answer = ticks;
      f(line.data(), line.size(), &answer, TrackView(head), TrackView(current));
      TakeTicks(ticks, answer);
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, SetMakros)) {
    e.SetMakros = [f, lib](int32_t& ticks, PTreck& current) {
      int32_t answer = ticks;
      f(&answer, TrackView(current));
      TakeTicks(ticks, answer);
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, InitialNotes)) {
    e.InitialNotes = [f, lib](PTreck& head, PTreck& start, PTreck& current, int32_t& ticks,
                              int32_t& measure, TErrors& errors) {
      int32_t ticksAnswer = ticks;
      int32_t measureAnswer = measure;
      VeltoErrors view{&errors};
      const bool done = f(TrackView(head), TrackView(start), TrackView(current), &ticksAnswer,
                          &measureAnswer, &view) != 0;
      TakeTicks(ticks, ticksAnswer);
      TakeBounded(measure, measureAnswer, 1, kLastMeasure);
      return done;
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, InitialPrograms)) {
    e.InitialPrograms = [f, lib](PTreck& control, PTreck& current, PTreck& shown,
                                 const std::string& songName, int32_t& ticks, int32_t& errorMeasure,
                                 int32_t& valueA, int32_t& valueB, TErrors& errors) {
      int32_t ticksAnswer = ticks;
      int32_t measureAnswer = errorMeasure;
      VeltoErrors view{&errors};
      const bool done = f(TrackView(control), TrackView(current), TrackView(shown), songName.data(),
                          songName.size(), &ticksAnswer, &measureAnswer, &valueA, &valueB,
                          &view) != 0;
      TakeTicks(ticks, ticksAnswer);
      TakeBounded(errorMeasure, measureAnswer, 1, kLastMeasure);
      return done;
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, InitializeHandler)) {
    e.InitializeHandler = [f, lib](PTreck track, std::vector<std::string>& lines) {
      f(TrackView(track), LinesView(lines));
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, RestoreParameters)) {
    e.RestoreParameters = [f, lib](int32_t& ticks, PTreck head) {
      int32_t answer = ticks;
      f(&answer, TrackView(head));
      TakeTicks(ticks, answer);
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, SendMidiMessage)) {
    e.SendMidiMessage = [f, lib](int32_t port, PTreck current) {
      VeltoMidiOut out{port};
      f(&out, TrackView(current));
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, PrepareParameters)) {
    e.PrepareParameters = [f, lib](int32_t& ticks, PTreck current) {
      int32_t answer = ticks;
      f(&answer, TrackView(current));
      TakeTicks(ticks, answer);
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, DeleteMakros)) {
    e.DeleteMakros = [f, lib](const std::string& line, int32_t& ticks, PTreck head, PTreck current) {
      int32_t answer = ticks;
      const bool hidden = f(line.data(), line.size(), &answer, TrackView(head), TrackView(current)) != 0;
      TakeTicks(ticks, answer);
      return hidden;
    };
  }
}

// The entry points of the window's set-up and display.
void BindWindow(TFormatEntryPoints& e, const TLibrary& lib) {
  if (auto* f = VELTO_ENTRY(*lib, GetPluginComponent)) {
    e.GetPluginComponent = [f, lib](std::vector<std::string>& classes) {
      return f(LinesView(classes)) != 0;
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, ExtensionInfo)) {
    e.ExtensionInfo = [f, lib](TExtension& extension) {
      VeltoExtension view{extension};
      f(&view);
      extension = std::move(view.Record);
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, InitializeForm)) {
    e.InitializeForm = [f, lib](VeltoWindow* window) { f(window); };
  }
  if (auto* f = VELTO_ENTRY(*lib, UpdatePluginComponents)) {
    e.UpdatePluginComponents = [f, lib](int32_t what, VeltoWindow* window) { f(what, window); };
  }
  if (auto* f = VELTO_ENTRY(*lib, InitializeJFW)) {
    e.InitializeJFW = [f, lib] { f(&PluginSpeak); };
  }
  if (auto* f = VELTO_ENTRY(*lib, InitializeMessage)) {
    e.InitializeMessage = [f, lib] { f(&PluginMessageBox); };
  }
  if (auto* f = VELTO_ENTRY(*lib, GetStatusBar)) {
    e.GetStatusBar = [f, lib](std::string& text, int32_t panel) {
      text = FilledText("", kPluginShortTextLimit, true, [&](VeltoText* t) { f(t, panel); });
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, updateLanguage)) {
    e.updateLanguage = [f, lib](const std::string& id) { f(id.data(), id.size()); };
  }
}

// The events of the controls.
void BindControls(TFormatEntryPoints& e, const TLibrary& lib) {
  if (auto* f = VELTO_ENTRY(*lib, onClickPluginComponent)) {
    e.onClickPluginComponent = [f, lib](int32_t control, VeltoWindow* window, int32_t port) {
      VeltoMidiOut out{port};
      f(control, window, &out);
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, onChangePluginComponent)) {
    e.onChangePluginComponent = [f, lib](int32_t control, VeltoWindow* window, int32_t port,
                                         int32_t& tempo) {
      VeltoMidiOut out{port};
      f(control, window, &out, &tempo);
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, OnPopupMenu)) {
    e.OnPopupMenu = [f, lib](std::string& text, int32_t control, VeltoWindow* window) {
      text = FilledText("", kPluginShortTextLimit, true, [&](VeltoText* t) { f(t, control, window); });
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, onEnterPluginComponent)) {
    e.onEnterPluginComponent = [f, lib](std::string& text, int32_t control, VeltoWindow* window) {
      text = FilledText("", kPluginTextLimit, false, [&](VeltoText* t) { f(t, control, window); });
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, onExitPluginComponent)) {
    e.onExitPluginComponent = [f, lib](int32_t control, VeltoWindow* window) {
      return f(control, window);
    };
  }
  if (auto* f = VELTO_ENTRY(*lib, OnClickPopupMenu)) {
    e.OnClickPopupMenu = [f, lib](int32_t tag, int32_t index, VeltoWindow* window) {
      f(tag, index, window);
    };
  }
  for (const bool down : {true, false}) {
    auto* f = down ? VELTO_ENTRY(*lib, PluginKeyDown) : VELTO_ENTRY(*lib, PluginKeyUp);
    if (f != nullptr) {
      (down ? e.PluginKeyDown : e.PluginKeyUp) = [f, lib](VeltoWindow* window, VeltoControl* control,
                                                           int32_t& key, uint8_t shift) {
        int32_t answer = key;
        f(window, control, &answer, shift);
        TakeBounded(key, answer, 0, 0xFFFF);
      };
    }
  }
  if (auto* f = VELTO_ENTRY(*lib, onListViewEdited)) {
    e.onListViewEdited = [f, lib](VeltoWindow* window, VeltoControl* listView, int32_t item,
                                  std::string& text) {
      text = FilledText(text, kPluginShortTextLimit, true,
                        [&](VeltoText* t) { f(window, listView, item, t); });
    };
  }
}

std::vector<std::filesystem::path> LibrariesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_regular_file(error) &&
        SameNameIgnoringCase(entry.path().extension().string(), ".so")) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<PModulDll>& ListOf(int32_t kind) {
  return kind == VELTO_MODULE_MENU ? MenuModules : kind == VELTO_MODULE_FORMAT ? FormatModules : WindowModules;
}

}  // namespace

PModulDll BindPlugin(std::shared_ptr<TSharedLibrary> library, int32_t* kind, std::string* problem) {
  auto* version = VELTO_ENTRY(*library, VeltoPluginAbiVersion);
  auto* info = VELTO_ENTRY(*library, GetModuleInfo);
  if (version == nullptr || info == nullptr) {
    *problem = std::string("it has no entry point ") +
               (version == nullptr ? "VeltoPluginAbiVersion" : "GetModuleInfo");
    return nullptr;
  }
  if (const uint32_t abi = version(); abi != VELTO_PLUGIN_ABI_VERSION) {
    *problem = "it is made for plug-in version " + std::to_string(abi) + ", this program takes " +
               std::to_string(VELTO_PLUGIN_ABI_VERSION);
    return nullptr;
  }
  VeltoModuleInfo told;
  info(&PluginHost(), &told);
  if (told.Kind == 0 || (told.Kind == VELTO_MODULE_FORMAT && told.Name.empty())) {
    *problem = "it does not tell what kind of plug-in it is";
    return nullptr;
  }
  *kind = told.Kind;
  auto module = std::make_shared<TModulDll>();
  module->Info.ModuleName = told.Name;
  module->Info.Handle = library->Handle();
  module->Library = library;
  if (told.Kind == VELTO_MODULE_MENU) {
    BindMenu(*module, library, told.Flags);
  } else if (told.Kind == VELTO_MODULE_FORMAT) {
    module->Format = std::make_shared<TFormatEntryPoints>();
    BindSong(*module->Format, library);
    BindWindow(*module->Format, library);
    BindControls(*module->Format, library);
  }
  return module;
}

std::vector<std::string> LoadPlugins(const std::string& programDir) {
  std::vector<std::string> problems;
  const std::optional<std::filesystem::path> folder = FindInFolder(programDir, "Plugins");
  if (!folder) {
    return problems;
  }
  for (const std::filesystem::path& path : LibrariesIn(*folder)) {
    std::string problem;
    int32_t kind = 0;
    std::shared_ptr<TSharedLibrary> library = TSharedLibrary::Open(path.string(), &problem);
    PModulDll module = library ? BindPlugin(library, &kind, &problem) : nullptr;
    if (!module) {
      problems.push_back("plug-in " + path.filename().string() + " skipped: " + problem);
      continue;
    }
    ListOf(kind).push_back(std::move(module));
  }
  return problems;
}

void UnloadPlugins() {
  MenuModules.clear();
  FormatModules.clear();
  WindowModules.clear();
}

void ReportPluginProblem(const std::string& text) {
  std::cerr << "velto: " << text << "\n";
}
