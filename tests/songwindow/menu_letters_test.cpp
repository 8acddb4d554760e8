// Each menu letter (the character after "&") opens one menu of the menu bar and one item
// of a menu, and every menu of the menu bar has one, in every language file and in the
// built-in texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/shell_menus.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/window_texts.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

// The letter a caption marks, lower case ("&&" is a plain "&"); 0 for none.
char32_t MenuLetter(const std::string& cp1251) {
  const std::u32string text = Utf8ToChars(Cp1251ToUtf8(cp1251));
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != U'&') {
      continue;
    }
    char32_t c = text[i + 1];
    if (c == U'&') {
      ++i;
      continue;
    }
    if ((c >= U'A' && c <= U'Z') || (c >= U'А' && c <= U'Я')) {
      c += 0x20;
    } else if (c == U'Ё') {
      c = U'ё';
    }
    return c;
  }
  return 0;
}

std::string WindowCaption(const std::string& name) {
  for (const TCaptionRow& row : ActionCaptionRows()) {
    if (name == row.Component) {
      return CaptionOf(row);
    }
  }
  return std::string();
}

// Menu name -> captions of its items; "" holds the menu bar.
std::map<std::string, std::vector<std::string>> MenuCaptions() {
  std::map<std::string, std::vector<std::string>> menus;
  for (const TShellMenu& menu : ShellMenus()) {
    if (menu.InMenuBar) {
      menus[""].push_back(ShellCaption(menu.Name));
    }
    for (const char* item : menu.Items) {
      if (std::string(item) != kMenuSeparator) {
        menus[menu.Name].push_back(ShellCaption(item));
      }
    }
  }
  for (const TMenuLayout& menu : WindowMenuLayout()) {
    menus[menu.Parent != nullptr ? menu.Parent : ""].push_back(WindowCaption(menu.Name));
    for (const char* item : menu.Actions) {
      menus[menu.Name].push_back(WindowCaption(item));
    }
  }
  return menus;
}

// "menu: letter in A, B" for each letter marked twice in one menu.
std::vector<std::string> LettersUsedTwice() {
  std::vector<std::string> twice;
  for (const auto& [menu, captions] : MenuCaptions()) {
    std::map<char32_t, std::vector<std::string>> byLetter;
    for (const std::string& caption : captions) {
      EXPECT_FALSE(caption.empty()) << "a caption of menu '" << menu << "' is empty";
      if (const char32_t letter = MenuLetter(caption)) {
        byLetter[letter].push_back(Cp1251ToUtf8(caption));
      }
    }
    for (const auto& [letter, named] : byLetter) {
      if (named.size() > 1) {
        std::string line = (menu.empty() ? std::string("menu bar") : menu) + ": " +
                           CharsToUtf8(std::u32string(1, letter)) + " in";
        for (const std::string& caption : named) {
          line += " " + caption;
        }
        twice.push_back(line);
      }
    }
  }
  return twice;
}

// The menus of the menu bar that Alt opens by no letter.
std::vector<std::string> BarMenusWithoutALetter() {
  std::vector<std::string> without;
  const std::vector<std::string> bar = MenuCaptions()[""];
  for (const std::string& caption : bar) {
    if (MenuLetter(caption) == 0) {
      without.push_back(Cp1251ToUtf8(caption));
    }
  }
  return without;
}

TEST(MenuLetters, AreUsedOncePerMenuInEveryLanguage) {
  UnloadLanguage();
  EXPECT_EQ(LettersUsedTwice(), std::vector<std::string>{}) << "built-in texts";
  EXPECT_EQ(BarMenusWithoutALetter(), std::vector<std::string>{}) << "built-in texts";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(VELTO_SOURCE_DIR) / "resources" / "Languages")) {
    if (entry.path().extension() != ".lng") {
      continue;
    }
    ASSERT_TRUE(LoadLanguageFile(entry.path().string()));
    EXPECT_EQ(LettersUsedTwice(), std::vector<std::string>{}) << entry.path().filename();
    EXPECT_EQ(BarMenusWithoutALetter(), std::vector<std::string>{}) << entry.path().filename();
    ++files;
  }
  UnloadLanguage();
  EXPECT_GE(files, 2);
}

TEST(MenuLetters, ALetterMarkedTwiceIsFound) {
  testsupport::TScopedLanguage language({"5=&Track", "449=&Tools"});
  EXPECT_EQ(LettersUsedTwice(), std::vector<std::string>{"menu bar: t in &Track &Tools"});
}

}  // namespace
