/* A format plug-in for the end-to-end tests of Tab, keys and Enter on the plug-in's
 * controls (extension ".keys", windows captioned "(key)"). It asks for an edit, a combo
 * box, a button, a check box and a list box, and speaks what it gets: "enter N" when
 * control N takes the focus, "down K S" and "up K S" for each key code K with shift state
 * S, "click N". Leaving a control it answers 0: the window speaks its track. */
#include <stdio.h>
#include <string.h>

#include "plugin/velto_plugin.h"

enum { CONTROLS = 5, SPEAK_TRACK = 0 };

static const VeltoHost* host;
static VeltoSpeakFn speak;

static void Say(const char* text) {
  if (speak != NULL) {
    speak(text, strlen(text), 0);
  }
}

uint32_t VeltoPluginAbiVersion(void) { return VELTO_PLUGIN_ABI_VERSION; }

void GetModuleInfo(const VeltoHost* h, VeltoModuleInfo* info) {
  host = h;
  host->module_set(info, VELTO_MODULE_FORMAT, "keys", 4, 0);
}

void InitializeJFW(VeltoSpeakFn program_speak) { speak = program_speak; }

int32_t GetPluginComponent(VeltoLines* class_names) {
  static const char* const names[CONTROLS] = {"TEdit", "TComboBox", "TButton", "TCheckBox", "TListBox"};
  for (int i = 0; i < CONTROLS; ++i) {
    host->lines_insert(class_names, i, names[i], strlen(names[i]));
  }
  return 1;
}

void InitializeForm(VeltoWindow* window) {
  static const char* const names[CONTROLS] = {"Keys edit", "Keys combo", "Keys button", "Keys check",
                                              "Keys list"};
  for (int n = 1; n <= CONTROLS; ++n) {
    VeltoControl* control = host->window_control(window, n);
    host->control_set_bounds(control, 10 + 110 * (n - 1), 4, 100, 28);
    host->control_set_name(control, names[n - 1], strlen(names[n - 1]));
    if (n == 3 || n == 4) {
      host->control_set_text(control, names[n - 1], strlen(names[n - 1]));
    } else if (n == 2 || n == 5) {
      host->control_clear_items(control);
      host->control_add_item(control, "one", 3);
      host->control_add_item(control, "two", 3);
    }
  }
}

void onClickPluginComponent(int32_t control, VeltoWindow* window, VeltoMidiOut* out) {
  char said[32];
  (void)window;
  (void)out;
  snprintf(said, sizeof said, "click %d", (int)control);
  Say(said);
}

void onEnterPluginComponent(VeltoText* text, int32_t control, VeltoWindow* window) {
  char said[32];
  (void)window;
  const int length = snprintf(said, sizeof said, "enter %d", (int)control);
  host->text_set(text, said, (size_t)length);
}

uint8_t onExitPluginComponent(int32_t control, VeltoWindow* window) {
  (void)control;
  (void)window;
  return SPEAK_TRACK;
}

static void SayKey(const char* what, const int32_t* key, uint8_t shift) {
  char said[32];
  snprintf(said, sizeof said, "%s %d %d", what, (int)*key, (int)shift);
  Say(said);
}

void PluginKeyDown(VeltoWindow* window, VeltoControl* control, int32_t* key, uint8_t shift) {
  (void)window;
  (void)control;
  SayKey("down", key, shift);
}

void PluginKeyUp(VeltoWindow* window, VeltoControl* control, int32_t* key, uint8_t shift) {
  (void)window;
  (void)control;
  SayKey("up", key, shift);
}
