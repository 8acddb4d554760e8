/* A menu plug-in for tests: it provides the block "accent" (tempo 90) and edits the
 * Braille text so that the first note of every track calls the block by the label
 * "loud", which FindBlock turns into "accent". In handler lines it turns "instrument 60"
 * into "instrument 60 + the track number it is handed". */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugin/velto_plugin.h"

enum { LINE_BYTES = 4096 };

static const VeltoHost* host;

uint32_t VeltoPluginAbiVersion(void) { return VELTO_PLUGIN_ABI_VERSION; }

void GetModuleInfo(const VeltoHost* h, VeltoModuleInfo* info) {
  host = h;
  host->module_set(info, VELTO_MODULE_MENU, "blocks", 6,
                   VELTO_PROVIDES_BLOCKS | VELTO_EDITS_HANDLER | VELTO_EDITS_NOTES);
}

void FindBlock(int32_t track_number, VeltoText* label) {
  char text[16];
  (void)track_number;
  const size_t length = host->text_get(label, text, sizeof text);
  if (length == 4 && memcmp(text, "loud", 4) == 0) {
    host->text_set(label, "accent", 6);
  }
}

void InsertBLKModule(int32_t track_count, VeltoLines* handler_lines) {
  static const char* const block[] = {"block accent", "tempo 90", "endblock"};
  (void)track_count;
  for (int i = 0; i < 3; ++i) {
    host->lines_insert(handler_lines, host->lines_count(handler_lines), block[i], strlen(block[i]));
  }
}

void EditingHandler(int32_t track_number, VeltoLines* handler_lines) {
  static const char wanted[] = "instrument 60";
  char line[sizeof wanted];
  char edited[32];
  for (int32_t i = 0; i < host->lines_count(handler_lines); ++i) {
    const size_t length = host->lines_get(handler_lines, i, line, sizeof line);
    if (length == sizeof wanted - 1 && memcmp(line, wanted, length) == 0) {
      const int edited_length = snprintf(edited, sizeof edited, "instrument %d", 60 + (int)track_number);
      host->lines_set(handler_lines, i, edited, (size_t)edited_length);
    }
  }
}

/* Puts the call ")loud." before the first octave mark "!" of the track's voices (after
 * the control track's voice and its "()"). */
void EditingNotes(int32_t track_count, VeltoLines* braille_lines) {
  static const char call[] = ")loud.";
  char line[LINE_BYTES];
  char edited[LINE_BYTES + sizeof call];
  (void)track_count;
  for (int32_t i = 0; i < host->lines_count(braille_lines); ++i) {
    const size_t length = host->lines_get(braille_lines, i, line, sizeof line);
    const char* voices = strstr(line, "()");
    const char* mark = voices != NULL ? strchr(voices, '!') : NULL;
    if (length >= sizeof line || mark == NULL) {
      continue;
    }
    const size_t before = (size_t)(mark - line);
    memcpy(edited, line, before);
    memcpy(edited + before, call, sizeof call - 1);
    memcpy(edited + before + sizeof call - 1, mark, length - before);
    host->lines_set(braille_lines, i, edited, length + sizeof call - 1);
  }
}
