#include "pluginhost/plugin_views.h"

#include <gtest/gtest.h>

#include <functional>

#include "model/song.h"
#include "pluginhost/plugin_controls.h"

namespace {

const VeltoHost& H = PluginHost();

TEST(PluginHost, TextsComeBackBoundedAndInCodePage1251) {
  struct TCase {
    std::string value;
    bool oneLine;
    bool taken;
    std::string stored;
  };
  const std::string letters(300, 'a');
  const TCase cases[] = {
      {"\xCF\xEE\xF0\xF2", true, true, "\xCF\xEE\xF0\xF2"},
      {letters, true, true, letters.substr(0, kPluginShortTextLimit)},
      {"a\tb", true, true, "a\tb"},
      {"a\r\nb", true, false, "old"},
      {"a\r\nb", false, true, "a\r\nb"},
      {"a\x98", false, false, "old"},
      {std::string("a\0b", 3), false, false, "old"},
  };
  for (const TCase& c : cases) {
    VeltoText text{"old", kPluginShortTextLimit, c.oneLine};
    EXPECT_EQ(H.text_set(&text, c.value.data(), c.value.size()), c.taken ? 1 : 0) << c.value;
    EXPECT_EQ(text.Value, c.stored) << c.value;
  }
  char buffer[3];
  VeltoText text{"abcd", kPluginShortTextLimit, true};
  EXPECT_EQ(H.text_get(&text, buffer, sizeof buffer), 4u);
  EXPECT_STREQ(buffer, "ab");
}

TEST(PluginHost, AnIndexOrValueOutOfRangeChangesNothing) {
  std::vector<std::string> lines = {"one"};
  TTreck track;
  VeltoWindow window;
  window.Controls = MakePluginControls({"TComboBox"});
  VeltoControl* combo = H.window_control(&window, 1);
  H.control_add_item(combo, "a", 1);
  VeltoMidiOut out{0};
  TErrors record;
  VeltoErrors errors{&record};
  struct TCase {
    const char* name;
    std::function<int32_t()> call;
    int32_t answer;
  };
  const TCase cases[] = {
      {"set a line past the end", [&] { return H.lines_set(LinesView(lines), 1, "x", 1); }, 0},
      {"append a line", [&] { return H.lines_insert(LinesView(lines), 1, "two", 3); }, 1},
      {"insert past the end", [&] { return H.lines_insert(LinesView(lines), 3, "x", 1); }, 0},
      {"delete before the start", [&] { return H.lines_delete(LinesView(lines), -1); }, 0},
      {"port 17", [&] { return H.track_set_midi_out(TrackView(&track), 17); }, 0},
      {"port 16", [&] { return H.track_set_midi_out(TrackView(&track), 16); }, 1},
      {"control 0", [&] { return H.window_control(&window, 0) != nullptr ? 1 : 0; }, 0},
      {"control 2 of 1", [&] { return H.window_control(&window, 2) != nullptr ? 1 : 0; }, 0},
      {"item 1 of 1", [&] { return H.control_set_item_index(combo, 1); }, 0},
      {"no item", [&] { return H.control_set_item_index(combo, -1); }, 1},
      {"range upside down", [&] { return H.control_set_range(combo, 5, 1); }, 0},
      {"a system message", [&] { return H.midi_out_send(&out, 0xF0, 0, 0); }, 0},
      {"error code 0", [&] { return H.errors_set(&errors, 0, 2, 1, 1, "", 0); }, 0},
      {"error source 4", [&] { return H.errors_set(&errors, 5, 4, 1, 1, "", 0); }, 0},
      {"no track", [&] { return H.track_set_midi_out(nullptr, 1); }, 0},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(c.call(), c.answer) << c.name;
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(track.MidiOut, 16);
  EXPECT_EQ(record.Code, 0);
}

}  // namespace
