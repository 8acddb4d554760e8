#include "songwindow/controller/window_texts.h"

#include "platform/codec1251.h"
#include "settings/lang_texts.h"

namespace {

constexpr TCaptionRow kLabelRows[] = {
    {"ProgrammText", 105, "Обработчик для текущего трека:", ":"},
    {"NotesEditText", 326, "Нотный текст:", ":"},
};

// ORDER: the order in which SetLanguage sets them.
constexpr TCaptionRow kActionRows[] = {
    {"aPlayNotes", 367, "Проигрывать редактируемые ноты", ""},
    {"ANavigationAdvanced", 382, "Продвинутая навигация", ""},
    {"PlayAll", 66, "Воспроизвести всё", ""},
    {"PlayPos", 67, "Воспроизвести с текущего такта", ""},
    {"PlayVoice", 68, "Воспроизвести текущий голос", ""},
    {"PlayTackt", 69, "Воспроизвести текущий такт", ""},
    {"RePlay", 70, "Повторить воспроизведение", ""},
    {"Stop", 71, "Остановить", ""},
    {"StopAndGo", 72, "Остановить и перейти к месту останова", ""},
    {"mPlay", 6, "&Воспроизведение", ""},
    {"Undo", 15, "Отменить", ""},
    {"aAdvancedEditing", 364, "Продвинутое редактирование", ""},
    {"aPointMode", 368, "Точечный режим", ""},
    {"Find", 34, "Найти...", "..."},
    {"FindNext", 35, "Найти далее", ""},
    {"Zamen", 36, "Заменить...", "..."},
    {"SelectAll", 37, "Выделить всё", ""},
    {"CopyInKey", 38, "Копировать в буфер", ""},
    {"PasteFromKey", 39, "Вставить из буфера", ""},
    {"Delete", 40, "Очистить выделение", ""},
    {"FirstTackt", 42, "Первый такт", ""},
    {"PriorTackt", 43, "Предыдущий такт", ""},
    {"NextTackt", 44, "Следующий такт", ""},
    {"LastTackt", 45, "Последний такт", ""},
    {"FirstVoice", 47, "Первый голос", ""},
    {"PriorVoice", 48, "Предыдущий голос", ""},
    {"NextVoice", 49, "Следующий голос", ""},
    {"EndVoice", 50, "Последний голос", ""},
    {"DeleteVoice", 51, "Удалить голос", ""},
    {"GoToTacktVoice", 52, "Перейти к...", "..."},
    {"CopyData", 53, "Копировать...", "..."},
    {"PasteData", 54, "Вставить", ""},
    {"ClearTackt", 55, "Очистить...", "..."},
    {"DeleteTackt", 56, "Удалить...", "..."},
    {"PriorTreck", 57, "Предыдущий трек", ""},
    {"NextTreck", 58, "Следующий трек", ""},
    {"PropertyTreck", 59, "Свойства трека", ""},
    {"Solo", 60, "Соло", ""},
    {"Ansamble", 61, "Ансамбль", ""},
    {"Obrabotchik", 62, "Обработчик", ""},
    {"ResetAll", 63, "Сбросить", ""},
    {"NewTreck", 64, "Создать...", "..."},
    {"CopyTreck", 38, "Копировать в буфер...", "..."},
    {"PasteTreck", 39, "Вставить из буфера", ""},
    {"DeleteTreck", 56, "Удалить", ""},
    {"TreckEditing", 65, "Редактор трека...", "..."},
    {"QEMHelper", 73, "Вставить символ QEM...", "..."},
    {"Instruments", 74, "Список инструментов General Midi...", "..."},
    {"Drums", 75, "Таблица ударных General Midi...", "..."},
    {"BlockObrabotchik", 76, "Блок-обработчик...", "..."},
    {"MasteringModuls", 77, "Управление модулями...", "..."},
    {"Translatoring", 78, "Транслятор...", "..."},
    {"ConvertHarmonyInNotes", 79, "Преобразовать гармонические ссылки в ноты", ""},
    {"SayPlace", 80, "Проговорить текущее местоположение", ""},
    {"N13Edit", 92, "Правка", ""},
    {"NModules", 93, "Модули", ""},
    {"EditingLastModul", 94, "Последний отредактированный модуль...", "..."},
    {"EditingModuleFromProgram", 95, "Редактировать модуль...", "..."},
    {"UndoText", 15, "Отменить", ""},
    {"NEdit", 3, "&Текст", ""},
    {"MTackt", 4, "Т&акт", ""},
    {"MTreck", 5, "Т&рек", ""},
    {"N3", 41, "Навигация", ""},
    {"Voices", 46, "Голоса", ""},
    {"N2", 41, "Навигация", ""},
    {"MHelpers", 7, "&Помощники", ""},
    {"mModes", 449, "Ре&жимы", ""},
    // Every menu item has a name for the screen reader, these three too.
    {"FirstTrack", 1202, "Первый трек", ""},
    {"LastTrack", 1203, "Последний трек", ""},
    {"EditModules", 1204, "Редактор модулей...", "..."},
};

}  // namespace

std::span<const TCaptionRow> LabelCaptionRows() {
  return kLabelRows;
}

std::span<const TCaptionRow> ActionCaptionRows() {
  return kActionRows;
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
