/* The entry points of a VELTO plug-in library and the accessors of the records the
 * program hands it. C99 and C++.
 *
 * A plug-in is a shared library in the program's Plugins folder. The program loads every
 * library there at start, in name order, and finds the entry points below by name: a
 * library must export VeltoPluginAbiVersion (answering VELTO_PLUGIN_ABI_VERSION) and
 * GetModuleInfo; every other entry point is optional, and one that is missing is never
 * called. Entry points run on the program's user-interface thread unless their comment
 * says otherwise.
 *
 * Texts are code page 1251 bytes with a length; they need not end in a NUL byte. Texts
 * going back to the program go through the accessors, which bound their length and refuse
 * a byte that code page 1251 does not assign (0x98), a NUL byte, and line breaks where a
 * text is one line. Every record (text, line list, track, window, control, MIDI output,
 * module information, extension, error record) is opaque and reached only through the
 * accessors of the VeltoHost table handed to GetModuleInfo. A record handed to an entry
 * point is valid during that call; a track, a window and its controls live as long as
 * the song window does.
 */
#ifndef VELTO_PLUGIN_H
#define VELTO_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

/* Changes whenever an entry point or the VeltoHost table changes incompatibly. */
#define VELTO_PLUGIN_ABI_VERSION 1u

#ifdef __cplusplus
#define VELTO_PLUGIN_API extern "C" __attribute__((visibility("default")))
extern "C" {
#else
#define VELTO_PLUGIN_API __attribute__((visibility("default")))
#endif

typedef struct VeltoText VeltoText;
typedef struct VeltoLines VeltoLines;
typedef struct VeltoTrack VeltoTrack;
typedef struct VeltoWindow VeltoWindow;
typedef struct VeltoControl VeltoControl;
typedef struct VeltoMidiOut VeltoMidiOut;
typedef struct VeltoModuleInfo VeltoModuleInfo;
typedef struct VeltoExtension VeltoExtension;
typedef struct VeltoErrors VeltoErrors;

/* Kinds of plug-in (module_set). */
enum {
  VELTO_MODULE_MENU = 1,   /* menu module: FindBlock, InsertBLKModule, EditingHandler, EditingNotes */
  VELTO_MODULE_FORMAT = 2, /* format module: a song file type of its own, controls on its windows */
  VELTO_MODULE_WINDOW = 3  /* window module */
};

/* Flags of a menu module (module_set): which of its entry points are asked. */
enum {
  VELTO_PROVIDES_BLOCKS = 1, /* FindBlock and InsertBLKModule */
  VELTO_EDITS_HANDLER = 2,   /* EditingHandler */
  VELTO_EDITS_NOTES = 4      /* EditingNotes */
};

/* Controls a format module asks for by class name (GetPluginComponent), as control_kind
 * answers them. A name that is none of these makes no control. */
enum {
  VELTO_TCOMBOBOX = 1,   /* "TComboBox": drop-down list; items, item index */
  VELTO_TLABEL = 2,      /* "TLabel": text */
  VELTO_TSPINEDIT = 3,   /* "TSpinEdit": number with range and position */
  VELTO_TLISTVIEW = 4,   /* "TListView": list of items the user may rename */
  VELTO_TLISTBOX = 5,    /* "TListBox": list of items */
  VELTO_TBUTTON = 6,     /* "TButton": push button; text is its caption */
  VELTO_TRICHEDIT = 7,   /* "TRichEdit": text of several lines */
  VELTO_TEDIT = 8,       /* "TEdit": text of one line */
  VELTO_TSCROLLBAR = 9,  /* "TScrollBar": range and position */
  VELTO_TRADIOBUTTON = 10, /* "TRadioButton": text and checked state */
  VELTO_TCHECKBOX = 11   /* "TCheckBox": text and checked state */
};

/* Shift state of a key event: bits as the program passes them. */
enum { VELTO_SHIFT = 1, VELTO_ALT = 2, VELTO_CTRL = 4 };

/* The program's speech: speaks text, cutting off what is being said when interrupt is not
 * 0. Safe from any thread. */
typedef void (*VeltoSpeakFn)(const char* text, size_t length, int32_t interrupt);
/* The program's message box of kind 0 (OK/Cancel question), 1 (information), 2 (Yes/No/
 * Cancel question) or 3 (error); answers 1 OK, 2 Cancel, 6 Yes or 7 No. */
typedef int32_t (*VeltoMessageBoxFn)(const char* text, size_t length, int32_t kind);

/* The accessors. Getters of texts copy at most size - 1 bytes into buffer, end them with a
 * NUL byte when size is not 0, and answer the whole length. Setters answer 1 when the text
 * was taken, 0 when it was refused (and nothing changed). An index out of range, or a NULL
 * record, reads as 0, NULL or an empty text and changes nothing. */
typedef struct VeltoHost {
  uint32_t abi_version; /* VELTO_PLUGIN_ABI_VERSION */
  uint32_t size;        /* sizeof(VeltoHost) */

  /* A text the program reads back after the call (status panel, popup item, spoken text,
   * a block label, an edited item). */
  size_t (*text_get)(const VeltoText* text, char* buffer, size_t size);
  int32_t (*text_set)(VeltoText* text, const char* value, size_t length);

  /* A list of lines (handler lines, Braille lines, control class names); index from 0. */
  int32_t (*lines_count)(const VeltoLines* lines);
  size_t (*lines_get)(const VeltoLines* lines, int32_t index, char* buffer, size_t size);
  int32_t (*lines_set)(VeltoLines* lines, int32_t index, const char* value, size_t length);
  /* Inserts before index; index = lines_count appends. */
  int32_t (*lines_insert)(VeltoLines* lines, int32_t index, const char* value, size_t length);
  int32_t (*lines_delete)(VeltoLines* lines, int32_t index);
  /* Puts the lines from index first on into the normal form the handler compiler reads
   * (lower case, no comments, single blanks), as the program does with a track's own
   * program lines. Lines a plug-in hands to the compiler (InsertBLKModule,
   * InitializeHandler) must be in that form. */
  void (*lines_normalize_handler)(VeltoLines* lines, int32_t first);

  /* What the plug-in is: kind, name (for a format module the extension it handles,
   * without the dot; its song windows show the first three letters of it in their
   * caption) and, for a menu module, its flags. */
  int32_t (*module_set)(VeltoModuleInfo* info, int32_t kind, const char* name, size_t length,
                        uint32_t flags);
  /* The song file type of a format module: its extension (with the dot) and description. */
  int32_t (*extension_set)(VeltoExtension* extension, const char* ext, size_t ext_length,
                           const char* description, size_t description_length);
  /* An error found by the plug-in: code 1..255, source 1 (handler program), 2 (music text)
   * or 3 (module file), measure and voice from 1, and the offending text. */
  int32_t (*errors_set)(VeltoErrors* errors, int32_t code, int32_t source, int32_t measure,
                        int32_t voice, const char* text, size_t length);

  /* Tracks of a song: the head is the control track (channel 0). */
  VeltoTrack* (*track_next)(const VeltoTrack* track);
  VeltoTrack* (*track_prev)(const VeltoTrack* track);
  size_t (*track_caption)(const VeltoTrack* track, char* buffer, size_t size);
  int32_t (*track_set_caption)(VeltoTrack* track, const char* value, size_t length);
  int32_t (*track_channel)(const VeltoTrack* track);
  int32_t (*track_voice)(const VeltoTrack* track);
  /* The output port 0..16; a port outside that range is refused. */
  int32_t (*track_midi_out)(const VeltoTrack* track);
  int32_t (*track_set_midi_out)(VeltoTrack* track, int32_t port);
  /* Whether the track plays. */
  int32_t (*track_enabled)(const VeltoTrack* track);
  void (*track_set_enabled)(VeltoTrack* track, int32_t enabled);
  VeltoLines* (*track_music_lines)(VeltoTrack* track);
  VeltoLines* (*track_program_lines)(VeltoTrack* track);

  /* The song window. */
  VeltoTrack* (*window_head_track)(const VeltoWindow* window);
  VeltoTrack* (*window_current_track)(const VeltoWindow* window);
  int32_t (*window_current_measure)(const VeltoWindow* window);
  int32_t (*window_control_count)(const VeltoWindow* window);
  /* Control number 1..window_control_count, else NULL. */
  VeltoControl* (*window_control)(VeltoWindow* window, int32_t number);

  /* The controls the window made for the plug-in. */
  int32_t (*control_kind)(const VeltoControl* control);
  int32_t (*control_number)(const VeltoControl* control);
  void (*control_set_bounds)(VeltoControl* control, int32_t left, int32_t top, int32_t width,
                             int32_t height);
  void (*control_set_visible)(VeltoControl* control, int32_t visible);
  void (*control_set_enabled)(VeltoControl* control, int32_t enabled);
  /* The name a screen reader says for the control. */
  int32_t (*control_set_name)(VeltoControl* control, const char* value, size_t length);
  /* Caption of a label, button, check box or radio button; content of an edit; the
   * chosen item's text of a combo box. */
  size_t (*control_text)(const VeltoControl* control, char* buffer, size_t size);
  int32_t (*control_set_text)(VeltoControl* control, const char* value, size_t length);
  int32_t (*control_item_count)(const VeltoControl* control);
  size_t (*control_item)(const VeltoControl* control, int32_t index, char* buffer, size_t size);
  int32_t (*control_add_item)(VeltoControl* control, const char* value, size_t length);
  int32_t (*control_set_item)(VeltoControl* control, int32_t index, const char* value,
                              size_t length);
  void (*control_clear_items)(VeltoControl* control);
  /* The chosen item, -1 for none. */
  int32_t (*control_item_index)(const VeltoControl* control);
  int32_t (*control_set_item_index)(VeltoControl* control, int32_t index);
  int32_t (*control_checked)(const VeltoControl* control);
  void (*control_set_checked)(VeltoControl* control, int32_t checked);
  /* Position of a spin edit or scroll bar, kept within its range. */
  int32_t (*control_position)(const VeltoControl* control);
  int32_t (*control_set_range)(VeltoControl* control, int32_t minimum, int32_t maximum);
  void (*control_set_position)(VeltoControl* control, int32_t position);

  /* A MIDI output port, valid during the call it is handed to. */
  int32_t (*midi_out_port)(const VeltoMidiOut* out);
  /* Sends one short message (status 0x80..0xEF, data bytes 0..127); 0 when the port is
   * closed or the message is not a channel message. */
  int32_t (*midi_out_send)(VeltoMidiOut* out, int32_t status, int32_t data1, int32_t data2);
} VeltoHost;

/* Every plug-in. */

/* Answers VELTO_PLUGIN_ABI_VERSION; a library answering anything else is not loaded. */
VELTO_PLUGIN_API uint32_t VeltoPluginAbiVersion(void);
/* Called once after loading: keep host (it lives until the library is unloaded) and tell
 * what the plug-in is with host->module_set. */
VELTO_PLUGIN_API void GetModuleInfo(const VeltoHost* host, VeltoModuleInfo* info);

/* Menu modules, asked in load order when their flag is set. track_number and track_count
 * are the number of tracks of the song being prepared, the control track counted: the
 * same for every track, never the track's own number. */

/* A block label of a track's music: label holds it and may be rewritten. */
VELTO_PLUGIN_API void FindBlock(int32_t track_number, VeltoText* label);
/* Lines appended to the handler lines of every track being compiled. */
VELTO_PLUGIN_API void InsertBLKModule(int32_t track_count, VeltoLines* handler_lines);
/* A track's handler lines, edited in place before compiling; track_number is 0 for the
 * control track's lines. Not called for a song of a format module (InitializeHandler gives
 * its handler lines). */
VELTO_PLUGIN_API void EditingHandler(int32_t track_number, VeltoLines* handler_lines);
/* A track's Braille lines, edited in place before translating. */
VELTO_PLUGIN_API void EditingNotes(int32_t track_count, VeltoLines* braille_lines);

/* Format modules: the song side. ticks_per_measure may be changed; a value outside
 * 1..262140 is ignored. */

/* Per program line read from a song file, with the track being read. */
VELTO_PLUGIN_API void GetMakros(const char* line, size_t length, int32_t* ticks_per_measure,
                                VeltoTrack* head, VeltoTrack* current);
/* When the editors are committed into the track they show: before a save, a play, an undo
 * step or a move to another place, and at once after every click, change, popup choice and
 * rename on the plug-in's controls. The track's program lines then hold only the port
 * directive; lines the plug-in adds come before the editor's lines. It may come several
 * times after one PrepareParameters: add the same lines each time. Lines put into the
 * track's program lines during a control's event are replaced by the commit after it. */
VELTO_PLUGIN_API void SetMakros(int32_t* ticks_per_measure, VeltoTrack* current);
/* Nonzero: the plug-in prepared the song for playing itself. */
VELTO_PLUGIN_API int32_t InitialNotes(VeltoTrack* head, VeltoTrack* start, VeltoTrack* current,
                                      int32_t* ticks_per_measure, int32_t* current_measure,
                                      VeltoErrors* errors);
/* Nonzero: the plug-in compiled the song itself. */
VELTO_PLUGIN_API int32_t InitialPrograms(VeltoTrack* control, VeltoTrack* current,
                                         VeltoTrack* shown, const char* song_name,
                                         size_t song_name_length, int32_t* ticks_per_measure,
                                         int32_t* error_measure, int32_t* window_value_a,
                                         int32_t* window_value_b, VeltoErrors* errors);
/* Appends to handler_lines (which hold the block library, menu modules' blocks and the
 * control track's lines) the handler lines of track in place of its own program lines;
 * for the control track (channel 0) handler_lines come empty. The program adds no
 * "positionsong": a music track's own lines must begin with it. Without this entry point a
 * song of the format has no handler lines but those of the menu modules. */
VELTO_PLUGIN_API void InitializeHandler(VeltoTrack* track, VeltoLines* handler_lines);
/* After preparing a song and after rendering it (then on the render thread). */
VELTO_PLUGIN_API void RestoreParameters(int32_t* ticks_per_measure, VeltoTrack* head);
/* Before a note heard while editing sounds on out. */
VELTO_PLUGIN_API void SendMidiMessage(VeltoMidiOut* out, VeltoTrack* current);
/* Before the program editor shows the current track's lines. */
VELTO_PLUGIN_API void PrepareParameters(int32_t* ticks_per_measure, VeltoTrack* current);
/* Called only after PrepareParameters, once for each program line of the track shown, in
 * order. Nonzero: the line is the plug-in's and the program editor does not show it. */
VELTO_PLUGIN_API int32_t DeleteMakros(const char* line, size_t length, int32_t* ticks_per_measure,
                                      VeltoTrack* head, VeltoTrack* current);

/* Format modules: the window. */

/* The class names of the controls wanted on each window, one per line, at most 255;
 * nonzero when class_names was filled. */
VELTO_PLUGIN_API int32_t GetPluginComponent(VeltoLines* class_names);
VELTO_PLUGIN_API void ExtensionInfo(VeltoExtension* extension);
/* After the controls are made, and after each change of language: size, place and fill. */
VELTO_PLUGIN_API void InitializeForm(VeltoWindow* window);
/* After every redraw of the window (what = 0). */
VELTO_PLUGIN_API void UpdatePluginComponents(int32_t what, VeltoWindow* window);
VELTO_PLUGIN_API void InitializeJFW(VeltoSpeakFn speak);
VELTO_PLUGIN_API void InitializeMessage(VeltoMessageBoxFn message_box);
/* Texts of status panels 1 and 2 (one line, at most 255 bytes). */
VELTO_PLUGIN_API void GetStatusBar(VeltoText* text, int32_t panel);
/* The chosen language's two-letter id ("ru", "en"). */
VELTO_PLUGIN_API void updateLanguage(const char* id, size_t length);

/* Format modules: events of the controls. control is the control's number 1..255; out is
 * the port of the current track (else of the head track, else port 0). */

/* A list is clicked when the user chooses an item (a click or a key that moves the choice);
 * one without a chosen item takes the focus without one. */
VELTO_PLUGIN_API void onClickPluginComponent(int32_t control, VeltoWindow* window,
                                             VeltoMidiOut* out);
/* tempo holds 1; a tempo of 10..930 beats per minute put there is set while a song plays. */
VELTO_PLUGIN_API void onChangePluginComponent(int32_t control, VeltoWindow* window,
                                              VeltoMidiOut* out, int32_t* tempo);
/* Called again and again when a control gets the focus (every kind but labels: buttons,
 * check boxes and radio buttons too): each text is one item, "caption%shortcut" or
 * "caption"; an empty text ends the menu (at most 64 items). shortcut: a key code plus
 * 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt. The menu opens, and a shortcut chooses its item,
 * on the kinds that share the menu (combo boxes, spin edits, list views, list boxes, rich
 * edits, edits, scroll bars) while one has the focus: before the control's own use of the
 * key and before a window command on the same key. */
VELTO_PLUGIN_API void OnPopupMenu(VeltoText* text, int32_t control, VeltoWindow* window);
/* A text put there is spoken when the control gets the focus. */
VELTO_PLUGIN_API void onEnterPluginComponent(VeltoText* text, int32_t control,
                                             VeltoWindow* window);
/* Called when the control loses the focus (not to the editor of a list view's item being
 * renamed, nor entering the list again after it). Answers how the window then refreshes and
 * speaks its place: 0 track, 1 measure, 2 voice, 3 measure and voice, 4 solo state, 5 track
 * on or off, 6 handler on or off, 7 reset, 255 refresh in silence. Whatever the answer, the
 * focus stays where the user moved it (Tab goes on to the next control). */
VELTO_PLUGIN_API uint8_t onExitPluginComponent(int32_t control, VeltoWindow* window);
/* Item index (from 0) of the popup menu chosen; tag is always 0. */
VELTO_PLUGIN_API void OnClickPopupMenu(int32_t tag, int32_t index, VeltoWindow* window);
/* Every key pressed (PluginKeyDown, repeated while held) and released (PluginKeyUp) on a
 * control that forwards keys (all but labels), before the control handles it; the presses
 * of keys that are shortcuts of the window's commands or of popup items, and the keys of a
 * list view item being renamed, do not reach the plug-in. key is the key's
 * Windows virtual-key code, by its place on the keyboard whatever the layout and Shift:
 *   'A'..'Z' 65..90 and '0'..'9' 48..57 (a Cyrillic letter has the code of its key);
 *   Backspace 8, Tab 9 (Shift+Tab too), Enter 13 (the keypad's too), Shift 16, Ctrl 17,
 *   Alt 18, Pause 19, Caps Lock 20, Esc 27, Space 32, PgUp 33, PgDn 34, End 35, Home 36,
 *   Left 37, Up 38, Right 39, Down 40, Print Screen 44, Insert 45, Delete 46, the menu
 *   key 93, Num Lock 144, Scroll Lock 145, F1..F24 112..135;
 *   ; 186, = 187, comma 188, - 189, . 190, / 191, ` 192, [ 219, \ 220, ] 221, ' 222 (US
 *   names; the key between left Shift and Z 226);
 *   the keypad: * 106, + 107, - 109, / 111; its digit keys 96..105 and its decimal key 110
 *   while the window's dot mode is on, else the keys they stand for (Home 36, Up 38 ...,
 *   keypad 5 12, decimal Delete 46).
 * A key without such a code is not passed. The plug-in may change key: 0 swallows the key,
 * another code of this list is handled as that key (a letter, digit, space, punctuation or
 * keypad key types what it types on a US layout: a capital or the shifted sign with
 * Shift, nothing with Ctrl or Alt); a value outside 0..65535 is ignored.
 * shift holds VELTO_SHIFT, VELTO_ALT and VELTO_CTRL. Enter on a button also clicks it. */
VELTO_PLUGIN_API void PluginKeyDown(VeltoWindow* window, VeltoControl* control, int32_t* key,
                                    uint8_t shift);
VELTO_PLUGIN_API void PluginKeyUp(VeltoWindow* window, VeltoControl* control, int32_t* key,
                                  uint8_t shift);
/* The user renamed item (from 0) of a list view (F2, then Enter or Tab; Esc cancels):
 * text holds the new name and may be changed. */
VELTO_PLUGIN_API void onListViewEdited(VeltoWindow* window, VeltoControl* list_view, int32_t item,
                                       VeltoText* text);

#ifdef __cplusplus
}
#endif

#endif /* VELTO_PLUGIN_H */
