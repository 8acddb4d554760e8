/* A format plug-in for the tests of the window's plug-in controls (extension ".prb"). It
 * asks for the controls "TEdit", "TWidget" (unknown), "tbutton" and "TListView". What it
 * answers is set by the text of its edit (control 1), its "mode":
 *   a number: the tempo a change answers;
 *   "key N": the key code key events come back with;
 *   "endless": the popup menu never ends;
 *   "long", "bad": status panel 1 gets 1000 letters, or a byte code page 1251 lacks;
 *   "exit N": leaving a control answers the mode N (else 255, keep the place unspoken);
 *   "trace": events are appended to the edit, each after a blank: "enter N", "exit N",
 *   "down N K S" (control, key code, shift state) and what the others write.
 * Clicks, popup choices and renamed list items write what they got into the edit.
 * Program lines beginning "{prb:" are its own: gathered while the window shows a track
 * (PrepareParameters, then DeleteMakros line by line), hidden, and put back by SetMakros. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugin/velto_plugin.h"

enum { EDIT = 1, BUTTON = 2, LIST = 3, KEEP_PLACE = 255, KEPT_LINES = 16, LINE_BYTES = 64 };

static const char kMacro[] = "{prb:";

static const VeltoHost* host;
static VeltoWindow* last_window; /* the window made or redrawn last */
static char mode[64];
static int popup_items_given;
static char kept[KEPT_LINES][LINE_BYTES]; /* the hidden lines of the track shown */
static size_t kept_length[KEPT_LINES];
static int kept_count;

static void ReadMode(VeltoWindow* window) {
  host->control_text(host->window_control(window, EDIT), mode, sizeof mode);
}

static void WriteEdit(VeltoWindow* window, const char* text) {
  host->control_set_text(host->window_control(window, EDIT), text, strlen(text));
}

static int Tracing(VeltoWindow* window) {
  ReadMode(window);
  return strncmp(mode, "trace", 5) == 0;
}

/* What the probe got: in place of the edit's text, or after it while tracing. */
static void Got(VeltoWindow* window, const char* text) {
  char traced[1024];
  size_t length;
  if (!Tracing(window)) {
    WriteEdit(window, text);
    return;
  }
  host->control_text(host->window_control(window, EDIT), traced, sizeof traced);
  length = strlen(traced);
  snprintf(traced + length, sizeof traced - length, " %s", text);
  WriteEdit(window, traced);
}

uint32_t VeltoPluginAbiVersion(void) { return VELTO_PLUGIN_ABI_VERSION; }

void GetModuleInfo(const VeltoHost* h, VeltoModuleInfo* info) {
  host = h;
  host->module_set(info, VELTO_MODULE_FORMAT, "prb", 3, 0);
}

int32_t GetPluginComponent(VeltoLines* class_names) {
  host->lines_insert(class_names, 0, "TEdit", 5);
  host->lines_insert(class_names, 1, "TWidget", 7);
  host->lines_insert(class_names, 2, "tbutton", 7);
  host->lines_insert(class_names, 3, "TListView", 9);
  return 1;
}

void InitializeForm(VeltoWindow* window) {
  last_window = window;
  host->control_set_name(host->window_control(window, EDIT), "Probe edit", 10);
  host->control_set_text(host->window_control(window, BUTTON), "Probe", 5);
  host->control_set_name(host->window_control(window, LIST), "Probe list", 10);
  host->control_add_item(host->window_control(window, LIST), "one", 3);
  host->control_add_item(host->window_control(window, LIST), "two", 3);
}

void PrepareParameters(int32_t* ticks_per_measure, VeltoTrack* current) {
  (void)ticks_per_measure;
  (void)current;
  kept_count = 0;
}

int32_t DeleteMakros(const char* line, size_t length, int32_t* ticks_per_measure, VeltoTrack* head,
                     VeltoTrack* current) {
  (void)ticks_per_measure;
  (void)head;
  (void)current;
  if (length < sizeof kMacro - 1 || memcmp(line, kMacro, sizeof kMacro - 1) != 0) {
    return 0;
  }
  if (kept_count < KEPT_LINES && length <= LINE_BYTES) {
    memcpy(kept[kept_count], line, length);
    kept_length[kept_count++] = length;
  }
  return 1;
}

void SetMakros(int32_t* ticks_per_measure, VeltoTrack* current) {
  VeltoLines* lines = host->track_program_lines(current);
  (void)ticks_per_measure;
  for (int i = 0; i < kept_count; ++i) {
    host->lines_insert(lines, host->lines_count(lines), kept[i], kept_length[i]);
  }
}

void UpdatePluginComponents(int32_t what, VeltoWindow* window) {
  (void)what;
  last_window = window;
}

void onClickPluginComponent(int32_t control, VeltoWindow* window, VeltoMidiOut* out) {
  char got[64];
  snprintf(got, sizeof got, "click %d port %d", (int)control, (int)host->midi_out_port(out));
  Got(window, got);
}

void onChangePluginComponent(int32_t control, VeltoWindow* window, VeltoMidiOut* out,
                             int32_t* tempo) {
  (void)control;
  (void)out;
  ReadMode(window);
  *tempo = atoi(mode);
}

void OnPopupMenu(VeltoText* text, int32_t control, VeltoWindow* window) {
  static const char* const items[] = {"Copy%16451", "Paste"};
  (void)control;
  ReadMode(window);
  if (strcmp(mode, "endless") == 0) {
    host->text_set(text, "x", 1);
  } else if (popup_items_given < 2) {
    const char* item = items[popup_items_given++];
    host->text_set(text, item, strlen(item));
  } else {
    popup_items_given = 0;
  }
}

void onEnterPluginComponent(VeltoText* text, int32_t control, VeltoWindow* window) {
  char said[32];
  const int length = snprintf(said, sizeof said, "Probe %d", (int)control);
  host->text_set(text, said, (size_t)length);
  if (Tracing(window)) {
    snprintf(said, sizeof said, "enter %d", (int)control);
    Got(window, said);
  }
}

uint8_t onExitPluginComponent(int32_t control, VeltoWindow* window) {
  char got[32];
  if (Tracing(window)) {
    snprintf(got, sizeof got, "exit %d", (int)control);
    Got(window, got);
  }
  ReadMode(window);
  return strncmp(mode, "exit ", 5) == 0 ? (uint8_t)atoi(mode + 5) : KEEP_PLACE;
}

void OnClickPopupMenu(int32_t tag, int32_t index, VeltoWindow* window) {
  char got[64];
  snprintf(got, sizeof got, "popup %d %d", (int)tag, (int)index);
  Got(window, got);
}

void onListViewEdited(VeltoWindow* window, VeltoControl* list_view, int32_t item, VeltoText* text) {
  char name[32];
  char got[64];
  host->text_get(text, name, sizeof name);
  snprintf(got, sizeof got, "renamed %d %d %s", (int)host->control_number(list_view), (int)item, name);
  Got(window, got);
}

void PluginKeyDown(VeltoWindow* window, VeltoControl* control, int32_t* key, uint8_t shift) {
  char got[48];
  if (Tracing(window)) {
    snprintf(got, sizeof got, "down %d %d %d", (int)host->control_number(control), (int)*key, (int)shift);
    Got(window, got);
  }
  ReadMode(window);
  if (strncmp(mode, "key ", 4) == 0) {
    *key = atoi(mode + 4);
  }
}

void GetStatusBar(VeltoText* text, int32_t panel) {
  char shown[1000];
  if (last_window == NULL || panel != 1) {
    return;
  }
  ReadMode(last_window);
  if (strcmp(mode, "long") == 0) {
    memset(shown, 'a', sizeof shown);
    host->text_set(text, shown, sizeof shown);
  } else if (strcmp(mode, "bad") == 0) {
    host->text_set(text, "a\x98", 2);
  } else {
    host->text_set(text, "probe", 5);
  }
}
