#include "pluginhost/plugin_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace
