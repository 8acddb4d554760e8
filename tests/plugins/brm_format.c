/* A format plug-in, the example of how to write one: songs of the extension ".brm".
 *
 * A .brm file is the program's song text; a track that is switched off carries the line
 * "{$$$brm-off$$$}" among its program lines (after the port directive), which the program
 * editor does not show. The window gets two controls: a combo box choosing the current
 * track's output port and a check box switching the track on and off. */
#include <stdio.h>
#include <string.h>

#include "plugin/velto_plugin.h"

#define LENGTH(literal) (sizeof(literal) - 1)

enum { PORT_COMBO = 1, PLAYS_CHECK = 2, PORTS = 17, KEEP_PLACE = 255, LINE_BYTES = 4096 };

static const char kOffMacro[] = "{$$$brm-off$$$}";

static const VeltoHost* host;
static VeltoSpeakFn speak;
static int english;    /* the language chosen is English, else Russian */
static int shown_port; /* the port of the track the window shows */

/* The texts, Russian in code page 1251. */
static const char* PortName(void) { return english ? "Track port" : "\xCF\xEE\xF0\xF2 \xF2\xF0\xE5\xEA\xE0"; }
static const char* PlaysName(void) { return english ? "Track plays" : "\xD2\xF0\xE5\xEA \xE7\xE2\xF3\xF7\xE8\xF2"; }
static const char* SilentName(void) { return english ? "Track silent" : "\xD2\xF0\xE5\xEA \xEC\xEE\xEB\xF7\xE8\xF2"; }
static const char* PortWord(void) { return english ? "Port" : "\xCF\xEE\xF0\xF2"; }

static void Say(const char* text) {
  if (speak != NULL) {
    speak(text, strlen(text), 1);
  }
}

static int IsOffMacro(const char* line, size_t length) {
  return length == LENGTH(kOffMacro) && memcmp(line, kOffMacro, length) == 0;
}

uint32_t VeltoPluginAbiVersion(void) { return VELTO_PLUGIN_ABI_VERSION; }

void GetModuleInfo(const VeltoHost* h, VeltoModuleInfo* info) {
  host = h;
  host->module_set(info, VELTO_MODULE_FORMAT, "brm", 3, 0);
}

void ExtensionInfo(VeltoExtension* extension) {
  static const char description[] = "Braille song";
  host->extension_set(extension, ".brm", 4, description, LENGTH(description));
}

void InitializeJFW(VeltoSpeakFn program_speak) { speak = program_speak; }

void updateLanguage(const char* id, size_t length) {
  english = length == 2 && memcmp(id, "en", 2) == 0;
}

/* The song side: the macro line of a track that is switched off. */

void GetMakros(const char* line, size_t length, int32_t* ticks_per_measure, VeltoTrack* head,
               VeltoTrack* current) {
  (void)ticks_per_measure;
  (void)head;
  if (IsOffMacro(line, length)) {
    host->track_set_enabled(current, 0);
  }
}

int32_t DeleteMakros(const char* line, size_t length, int32_t* ticks_per_measure, VeltoTrack* head,
                     VeltoTrack* current) {
  (void)ticks_per_measure;
  (void)head;
  (void)current;
  return IsOffMacro(line, length);
}

void SetMakros(int32_t* ticks_per_measure, VeltoTrack* current) {
  (void)ticks_per_measure;
  if (current != NULL && !host->track_enabled(current)) {
    VeltoLines* lines = host->track_program_lines(current);
    host->lines_insert(lines, host->lines_count(lines), kOffMacro, LENGTH(kOffMacro));
  }
}

/* The handler lines of a track are its program lines without the macro line (after
 * "positionsong" for a music track), as the program takes a native song's. */
void InitializeHandler(VeltoTrack* track, VeltoLines* handler_lines) {
  VeltoLines* program = host->track_program_lines(track);
  const int32_t first = host->lines_count(handler_lines);
  char line[LINE_BYTES];
  if (host->track_channel(track) != 0) {
    host->lines_insert(handler_lines, first, "positionsong", LENGTH("positionsong"));
  }
  for (int32_t i = 0; i < host->lines_count(program); ++i) {
    const size_t length = host->lines_get(program, i, line, sizeof line);
    if (length < sizeof line && !IsOffMacro(line, length)) {
      host->lines_insert(handler_lines, host->lines_count(handler_lines), line, length);
    }
  }
  host->lines_normalize_handler(handler_lines, first);
}

/* Before the window shows a track (and its status panels). */
void PrepareParameters(int32_t* ticks_per_measure, VeltoTrack* current) {
  (void)ticks_per_measure;
  shown_port = host->track_midi_out(current);
}

/* The window. */

int32_t GetPluginComponent(VeltoLines* class_names) {
  host->lines_insert(class_names, 0, "TComboBox", 9);
  host->lines_insert(class_names, 1, "TCheckBox", 9);
  return 1;
}

/* The controls show the current track's port and state. */
static void ShowTrack(VeltoWindow* window) {
  VeltoTrack* current = host->window_current_track(window);
  shown_port = host->track_midi_out(current);
  host->control_set_item_index(host->window_control(window, PORT_COMBO), shown_port);
  host->control_set_checked(host->window_control(window, PLAYS_CHECK), host->track_enabled(current));
}

void InitializeForm(VeltoWindow* window) {
  VeltoControl* combo = host->window_control(window, PORT_COMBO);
  VeltoControl* check = host->window_control(window, PLAYS_CHECK);
  char item[8];
  host->control_set_bounds(combo, 10, 4, 160, 28);
  host->control_set_name(combo, PortName(), strlen(PortName()));
  host->control_clear_items(combo);
  for (int port = 0; port < PORTS; ++port) {
    const int length = snprintf(item, sizeof item, "%d", port);
    host->control_add_item(combo, item, (size_t)length);
  }
  host->control_set_bounds(check, 180, 4, 200, 28);
  host->control_set_text(check, PlaysName(), strlen(PlaysName()));
  ShowTrack(window);
}

void UpdatePluginComponents(int32_t what, VeltoWindow* window) {
  (void)what;
  ShowTrack(window);
}

void onClickPluginComponent(int32_t control, VeltoWindow* window, VeltoMidiOut* out) {
  VeltoTrack* current = host->window_current_track(window);
  char said[64];
  (void)out;
  if (control == PORT_COMBO) {
    const int32_t port = host->control_item_index(host->window_control(window, PORT_COMBO));
    if (host->track_set_midi_out(current, port)) {
      shown_port = port;
      snprintf(said, sizeof said, "%s %d", PortWord(), (int)port);
      Say(said);
    }
  } else if (control == PLAYS_CHECK) {
    const int32_t plays = host->control_checked(host->window_control(window, PLAYS_CHECK));
    host->track_set_enabled(current, plays);
    Say(plays ? PlaysName() : SilentName());
  }
}

uint8_t onExitPluginComponent(int32_t control, VeltoWindow* window) {
  (void)control;
  (void)window;
  return KEEP_PLACE;
}

void GetStatusBar(VeltoText* text, int32_t panel) {
  char shown[32];
  const int length = panel == 1 ? snprintf(shown, sizeof shown, "BRM")
                                : snprintf(shown, sizeof shown, "%s %d", PortWord(), shown_port);
  host->text_set(text, shown, (size_t)length);
}
