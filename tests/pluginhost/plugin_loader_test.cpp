#include "pluginhost/plugin_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "tests/support/plugin_test_support.h"
#include "tests/support/render_song_support.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TScopedPlugins;

std::vector<std::string> NamesOf(const std::vector<PModulDll>& list) {
  std::vector<std::string> names;
  for (const PModulDll& m : list) {
    names.push_back(m->Info.ModuleName);
  }
  return names;
}

TEST(LoadPlugins, TakesTheLibrariesOfPluginsInNameOrderAndSkipsBrokenOnesByName) {
  struct TCase {
    const char* name;
    const char* folder;
    std::vector<std::string> plugins;  // test plug-ins copied in
    std::vector<std::string> files;    // other files, holding text
    std::vector<std::string> formats;
    std::vector<std::string> menus;
    std::vector<std::string> problems;  // the start of each problem, in order
  };
  const TCase cases[] = {
      {"folder in small letters", "plugins", {"probe", "brm", "blocks"}, {}, {"brm", "prb"}, {"blocks"}, {}},
      {"broken libraries",
       "Plugins",
       {"wrong_abi", "no_module_info", "brm"},
       {"notalib.so", "readme.txt"},
       {"brm"},
       {},
       {"plug-in no_module_info.so skipped: it has no entry point GetModuleInfo",
        "plug-in notalib.so skipped: ",
        "plug-in wrong_abi.so skipped: it is made for plug-in version 2, this program takes 1"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TTempDir home;
    std::filesystem::create_directories(home.Path() + c.folder);
    for (const std::string& file : c.files) {
      std::ofstream(home.Path() + c.folder + "/" + file) << "not a library\n";
    }
    TScopedPlugins plugins(home.Path(), c.plugins, c.folder);
    EXPECT_EQ(NamesOf(FormatModules), c.formats);
    EXPECT_EQ(NamesOf(MenuModules), c.menus);
    ASSERT_EQ(plugins.Problems.size(), c.problems.size());
    for (size_t i = 0; i < c.problems.size(); ++i) {
      EXPECT_EQ(plugins.Problems[i].rfind(c.problems[i], 0), 0u) << plugins.Problems[i];
    }
  }
  EXPECT_TRUE(FormatModules.empty());  // unloaded with the scope
}

// The plug-in page: its build line makes the example a plug-in the program takes, and a
// library made for another version is skipped with the line the page shows.
TEST(LoadPlugins, TheBuildLineAndTheSkipLineOfThePluginPageHold) {
  TTempDir home;
  std::filesystem::create_directories(home.Path() + "Plugins");
  std::filesystem::copy_file(testsupport::TestPluginPath("wrong_abi"), home.Path() + "Plugins/wrong_abi.so");
  const std::string build = "cd '" + home.Path() + "Plugins' && cc -std=c11 -shared -fPIC -I '" VELTO_SOURCE_DIR
                            "' -o myformat.so '" VELTO_SOURCE_DIR "/tests/plugins/brm_format.c'";
  ASSERT_EQ(std::system(build.c_str()), 0) << build;
  TScopedPlugins plugins(home.Path(), {});
  EXPECT_EQ(NamesOf(FormatModules), (std::vector<std::string>{"brm"}));
  ASSERT_EQ(plugins.Problems.size(), 1u);
  testing::internal::CaptureStderr();
  ReportPluginProblem(plugins.Problems[0]);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "velto: plug-in wrong_abi.so skipped: it is made for plug-in version 2, this program takes 1\n");
}

class MenuPluginTest : public rendertest::RenderTest {};

// The tempo events of the control track, in microseconds per quarter note.
std::vector<uint32_t> TemposOf(const TTreck& control) {
  std::vector<uint32_t> tempos;
  for (const rendertest::TEventAt& e : rendertest::EventsOf(control)) {
    if (e.Event.IsMeta() && e.Event.MetaType == 0x51 && e.Text.size() == 3) {
      const auto byte = [&](size_t i) { return static_cast<uint8_t>(e.Text[i]); };
      tempos.push_back(byte(0) << 16 | byte(1) << 8 | byte(2));
    }
  }
  return tempos;
}

// EditingNotes puts a block call on the first note, FindBlock renames its label and
// InsertBLKModule defines the block, which sets the tempo.
TEST_F(MenuPluginTest, ABlockOfTheMenuPluginPlaysWhereItsNoteEditPutsTheCall) {
  constexpr uint32_t kTempo90 = 666666;
  for (const bool loaded : {false, true}) {
    SCOPED_TRACE(loaded ? "with the plug-in" : "without");
    TTempDir home;
    TScopedPlugins plugins(home.Path(), loaded ? std::vector<std::string>{"blocks"}
                                               : std::vector<std::string>{});
    auto song = rendertest::SongOf({{0, "Song", {"Vd4m"}, {}}, {1, "Melody", {"MMVd4!SSOO"}, {}}});
    Render(*song);
    ASSERT_EQ(GErrors.Code(), 0) << Cp1251ToUtf8(GErrors.Get().Text);
    const std::vector<uint32_t> tempos = TemposOf(*song->HeadTreck);
    EXPECT_EQ(std::count(tempos.begin(), tempos.end(), kTempo90), loaded ? 1 : 0);
  }
}

// EditingHandler gets 0 with the control track's handler lines and the song's number of
// tracks, the control track counted, with every other track's (the plug-in makes
// "instrument 60" "instrument 60 + that number"). A song of a format plug-in is compiled
// from the lines of its InitializeHandler, never edited by EditingHandler.
TEST_F(MenuPluginTest, EditingHandlerGetsTheTrackCountAndNoSongOfAFormatPlugin) {
  TTempDir home;
  TScopedPlugins plugins(home.Path(), {"blocks", "brm"});
  auto song = rendertest::SongOf({{0, "Song", {"Vd4m"}, {"instrument 60"}},
                                  {1, "A", {"!y"}, {"instrument 60"}},
                                  {2, "B", {"!y"}, {"instrument 60"}}});
  ASSERT_TRUE(PrepareSong(*song));
  EXPECT_EQ(song->HeadTreck->HandlerLines, (std::vector<std::string>{"instrument 60"}));
  for (const int n : {1, 2}) {
    EXPECT_EQ(rendertest::TrackAt(*song, n)->HandlerLines, (std::vector<std::string>{"instrument 63"}));
  }
  for (const bool format : {false, true}) {
    song->FormatModule = format ? FormatModules.at(0)->Format : nullptr;
    Render(*song);
    std::vector<int> programs;
    for (const rendertest::TEventAt& e : rendertest::EventsOf(*rendertest::TrackAt(*song, 1))) {
      if (e.Event.Kind() == 0xC0) {
        programs.push_back(e.Event.Data1);
      }
    }
    EXPECT_EQ(programs, (std::vector<int>{format ? 60 : 63})) << (format ? "format" : "native");
  }
}

}  // namespace
