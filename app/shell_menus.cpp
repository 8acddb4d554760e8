#include "app/shell_menus.h"

#include "settings/lang_texts.h"

namespace {

constexpr TShellText kShellTexts[] = {
    {"mFile", 901, "&Файл"},
    {"New", 902, "&Новый"},
    {"Open", 903, "&Открыть..."},
    {"Save", 904, "&Сохранить"},
    {"SaveAs", 905, "Сохранить &как..."},
    {"Close", 906, "&Закрыть"},
    {"Exit", 907, "&Выход"},
    {"mWindow", 908, "&Окно"},
    {"NextWindow", 909, "Следующее окно"},
    {"PriorWindow", 910, "Предыдущее окно"},
    {"mSettings", 911, "&Настройки"},
    {"mLanguage", 912, "&Язык"},
    {"mDevice", 913, "MIDI-&устройство"},
    {"mHelp", 914, "&Справка"},
    {"About", 915, "&О программе"},
};

}  // namespace

std::span<const TShellText> ShellTexts() {
  return kShellTexts;
}

std::string ShellCaption(std::string_view name) {
  for (const TShellText& text : kShellTexts) {
    if (name == text.Name) {
      return LangStrOr(text.Id, text.BuiltIn);
    }
  }
  return std::string();
}

const std::vector<TShellMenu>& ShellMenus() {
  static const std::vector<TShellMenu> menus = {
      {"mFile", true, {"New", "Open", "Save", "SaveAs", "Close", kMenuSeparator, "Exit"}},
      {"mWindow", true, {"NextWindow", "PriorWindow"}},
      {"mSettings", true, {"mLanguage", "mDevice"}},
      {"mLanguage", false, {}},
      {"mDevice", false, {}},
      {"mHelp", true, {"About"}},
  };
  return menus;
}
