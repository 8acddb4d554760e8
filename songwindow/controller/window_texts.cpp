#include "songwindow/controller/window_texts.h"

#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"

namespace {

constexpr TCaptionRow kLabelRows[] = {
    {"ProgrammText", 105, "Обработчик для текущего трека:", ":"},
    {"NotesEditText", 326, "Нотный текст:", ":"},
};

// The action table. ORDER: the order in which SetLanguage sets the captions. A row with a
// key but no command holds its key for a command still to come, so that no editor and no
// other row takes it.
constexpr TCaptionRow kActionRows[] = {
    {"aPlayNotes", 367, "Проигрывать редактируемые ноты", "", "Ctrl+Alt+Y", &TSongWindow::PlayNotes},
    {"ANavigationAdvanced", 382, "Продвинутая навигация", "", "Shift+Return", &TSongWindow::NavigationAdvanced},
    {"PlayAll", 66, "Воспроизвести всё", "", "Ctrl+Shift+Space", &TSongWindow::PlayAll},
    {"PlayPos", 67, "Воспроизвести с текущего такта", "", "Ctrl+Space", &TSongWindow::PlayPos},
    {"PlayVoice", 68, "Воспроизвести текущий голос", "", "Shift+Space", &TSongWindow::PlayVoice},
    {"PlayTackt", 69, "Воспроизвести текущий такт", "", "Shift+Alt+Space", &TSongWindow::PlayTackt},
    {"RePlay", 70, "Повторить воспроизведение", "", "Ctrl+Alt+Space", &TSongWindow::RePlay},
    {"Stop", 71, "Остановить", "", "Esc", &TSongWindow::StopPlay},
    {"StopAndGo", 72, "Остановить и перейти к месту останова", "", "Shift+Esc", &TSongWindow::StopAndGo},
    {"mPlay", 6, "&Воспроизведение", ""},
    {"Undo", 15, "Отменить", "", "Alt+Z", &TSongWindow::UndoLast},
    {"aAdvancedEditing", 364, "Продвинутое редактирование", "", "Ctrl+Shift+Return", &TSongWindow::AdvancedEditing},
    {"aPointMode", 368, "Точечный режим", "", "Ctrl+Return", &TSongWindow::PointMode},
    {"Find", 34, "Найти...", "...", "Ctrl+F", nullptr},
    {"FindNext", 35, "Найти далее", "", "F3", nullptr},
    {"Zamen", 36, "Заменить...", "...", "Ctrl+H", nullptr},
    {"SelectAll", 37, "Выделить всё", "", "Ctrl+A", &TSongWindow::SelectAll},
    {"CopyInKey", 38, "Копировать в буфер", "", "Ctrl+C", &TSongWindow::CopyInKey},
    {"PasteFromKey", 39, "Вставить из буфера", "", "Ctrl+V", &TSongWindow::PasteFromKey},
    {"Delete", 40, "Очистить выделение", "", "", &TSongWindow::DeleteSelection},
    {"FirstTackt", 42, "Первый такт", "", "Alt+Home", &TSongWindow::FirstTackt},
    {"PriorTackt", 43, "Предыдущий такт", "", "Alt+Left", &TSongWindow::PriorTackt},
    {"NextTackt", 44, "Следующий такт", "", "Alt+Right", &TSongWindow::NextTackt},
    {"LastTackt", 45, "Последний такт", "", "Alt+End", &TSongWindow::LastTackt},
    {"FirstVoice", 47, "Первый голос", "", "Alt+PgUp", &TSongWindow::FirstVoice},
    {"PriorVoice", 48, "Предыдущий голос", "", "Alt+Up", &TSongWindow::PriorVoice},
    {"NextVoice", 49, "Следующий голос", "", "Alt+Down", &TSongWindow::NextVoice},
    {"EndVoice", 50, "Последний голос", "", "Alt+PgDown", &TSongWindow::EndVoice},
    {"DeleteVoice", 51, "Удалить голос", "", "Alt+Del", &TSongWindow::DeleteVoice},
    {"GoToTacktVoice", 52, "Перейти к...", "...", "Ctrl+G", &TSongWindow::GoToTacktVoice},
    {"CopyData", 53, "Копировать...", "...", "Alt+C", nullptr},
    {"PasteData", 54, "Вставить", "", "Alt+V", nullptr},
    {"ClearTackt", 55, "Очистить...", "...", "Shift+Del", &TSongWindow::ClearTackt},
    {"DeleteTackt", 56, "Удалить...", "...", "Ctrl+Del", &TSongWindow::DeleteTackt},
    {"PriorTreck", 57, "Предыдущий трек", "", "Ctrl+Up", &TSongWindow::PriorTreck},
    {"NextTreck", 58, "Следующий трек", "", "Ctrl+Down", &TSongWindow::NextTreck},
    {"PropertyTreck", 59, "Свойства трека", "", "F5", &TSongWindow::PropertyTreck},
    {"Solo", 60, "Соло", "", "F9", &TSongWindow::Solo},
    {"Ansamble", 61, "Ансамбль", "", "Shift+F9", &TSongWindow::Ansamble},
    {"Obrabotchik", 62, "Обработчик", "", "Ctrl+F9", &TSongWindow::Obrabotchik},
    {"ResetAll", 63, "Сбросить", "", "Ctrl+Shift+F9", &TSongWindow::ResetAll},
    {"NewTreck", 64, "Создать...", "...", "Ctrl+T", &TSongWindow::NewTreck},
    {"CopyTreck", 38, "Копировать в буфер...", "...", "Ctrl+Shift+C", &TSongWindow::CopyTreck},
    {"PasteTreck", 39, "Вставить из буфера", "", "Ctrl+Shift+V", &TSongWindow::PasteTreck},
    {"DeleteTreck", 56, "Удалить", "", "Ctrl+Shift+Del", &TSongWindow::DeleteTreck},
    {"TreckEditing", 65, "Редактор трека...", "...", "F8", &TSongWindow::TreckEditing},
    {"QEMHelper", 73, "Вставить символ QEM...", "...", "F2", &TSongWindow::QEMHelper},
    {"Instruments", 74, "Список инструментов General Midi...", "...", "F6", &TSongWindow::Instruments},
    {"Drums", 75, "Таблица ударных General Midi...", "...", "F7", &TSongWindow::Drums},
    {"BlockObrabotchik", 76, "Блок-обработчик...", "...", "F10", &TSongWindow::BlockObrabotchik},
    {"MasteringModuls", 77, "Управление модулями...", "...", "F11", &TSongWindow::MasteringModuls},
    {"Translatoring", 78, "Транслятор...", "...", "F12", &TSongWindow::Translatoring},
    {"ConvertHarmonyInNotes", 79, "Преобразовать гармонические ссылки в ноты", "", "Ctrl+K",
     &TSongWindow::ConvertHarmonyInNotes},
    {"SayPlace", 80, "Проговорить текущее местоположение", "", "F4", &TSongWindow::SayPlace},
    {"N13Edit", 92, "Правка", ""},
    {"NModules", 93, "&Модули", ""},
    {"EditingLastModul", 94, "Последний отредактированный модуль...", "...", "Shift+F11",
     &TSongWindow::EditingLastModul},
    {"EditingModuleFromProgram", 95, "Редактировать модуль...", "...", "Ctrl+F11",
     &TSongWindow::EditingModuleFromProgram},
    {"UndoText", 15, "Отменить", "", "Ctrl+Z", &TSongWindow::UndoText},
    {"NEdit", 3, "&Текст", ""},
    {"MTackt", 4, "Т&акт", ""},
    {"MTreck", 5, "Т&рек", ""},
    {"N3", 41, "Навигация", ""},
    {"Voices", 46, "Голоса", ""},
    {"N2", 41, "Навигация", ""},
    {"MHelpers", 7, "&Помощники", ""},
    {"mModes", 449, "Ре&жимы", ""},
    // Every menu item has a name for the screen reader, these three too.
    {"FirstTrack", 1202, "Первый трек", "", "Ctrl+PgUp", &TSongWindow::FirstTrack},
    {"LastTrack", 1203, "Последний трек", "", "Ctrl+PgDown", &TSongWindow::LastTrack},
    {"EditModules", 1204, "Редактор модулей...", "...", "", &TSongWindow::EditModules},
};

}  // namespace

std::span<const TCaptionRow> LabelCaptionRows() {
  return kLabelRows;
}

std::span<const TCaptionRow> ActionCaptionRows() {
  return kActionRows;
}

const TCaptionRow* ActionRow(std::string_view component) {
  for (const TCaptionRow& row : kActionRows) {
    if (component == row.Component) {
      return &row;
    }
  }
  return nullptr;
}

const std::vector<TMenuLayout>& WindowMenuLayout() {
  static const std::vector<TMenuLayout> menus = {
      {"NEdit", nullptr,
       {"Undo", "Find", "FindNext", "Zamen", "SelectAll", "CopyInKey", "PasteFromKey", "Delete"}},
      {"N13Edit", "NEdit", {"UndoText"}},
      {"MTackt", nullptr, {"CopyData", "PasteData", "ClearTackt", "DeleteTackt"}},
      {"N3", "MTackt", {"FirstTackt", "PriorTackt", "NextTackt", "LastTackt", "GoToTacktVoice"}},
      {"Voices", "MTackt", {"FirstVoice", "PriorVoice", "NextVoice", "EndVoice", "DeleteVoice"}},
      {"MTreck", nullptr,
       {"PropertyTreck", "Solo", "Ansamble", "Obrabotchik", "ResetAll", "NewTreck", "CopyTreck",
        "PasteTreck", "DeleteTreck", "TreckEditing"}},
      {"N2", "MTreck", {"PriorTreck", "NextTreck", "FirstTrack", "LastTrack"}},
      {"mPlay", nullptr, {"PlayAll", "PlayPos", "PlayVoice", "PlayTackt", "RePlay", "Stop", "StopAndGo"}},
      {"MHelpers", nullptr,
       {"QEMHelper", "Instruments", "Drums", "BlockObrabotchik", "Translatoring",
        "ConvertHarmonyInNotes", "SayPlace"}},
      {"NModules", nullptr,
       {"MasteringModuls", "EditingLastModul", "EditingModuleFromProgram", "EditModules"}},
      {"mModes", nullptr, {"aAdvancedEditing", "aPointMode", "ANavigationAdvanced", "aPlayNotes"}},
  };
  return menus;
}

std::string CaptionOf(const TCaptionRow& row) {
  const std::string text = LangStr(row.Id);
  if (text == "???") {
    return Utf8ToCp1251(row.BuiltIn).Text;
  }
  return text + Utf8ToCp1251(row.Suffix).Text;
}

std::string Word(int id, std::string_view builtInUtf8) {
  std::string text = LangStrOr(id, builtInUtf8);
  std::erase(text, '&');
  return text;
}
