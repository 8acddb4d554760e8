#include "feedback/error_messages.h"

#include <span>

#include "base/error_sources.h"
#include "base/errors.h"
#include "settings/lang_texts.h"
#include "feedback/message_box.h"
#include "platform/codec1251.h"

namespace {

const char kCr = '\r';
const char* const kMissing = "???";

// How a code's text is made.
enum class TTextKind : uint8_t {
  kSingle,         // one language text + "!"
  kPair,           // two language texts, used only when both exist
  kHandlerString,  // the handler's own text, GHandlerErrorMessage
  kHarmonyFail,    // one language text + "!", then HarmonyFailText
  kCategory,       // two language texts, the second followed by the category letter
};

// One row of a message table. BuiltIn is UTF-8 and carries its own "!" (a CR inside
// it separates two lines); the final CR is added when the text is used.
struct TErrorText {
  uint8_t Code;
  TTextKind Kind;
  int First;           // language text number; 0: the built-in text only
  int Second;          // kPair: the second language text
  const char* Suffix;  // kPair: what follows the second text
  const char* BuiltIn;
};

constexpr TErrorText kUnknown = {0, TTextKind::kSingle, 108, 0, "", "Не известная ошибка!"};

constexpr TErrorText kSongTexts[] = {
    {1, TTextKind::kSingle, 117, 0, "", "Синтаксическая ошибка!"},
    {2, TTextKind::kCategory, 165, 166, "",
     "Длительности такта не соответствуют заданному размеру!\rКатегория А"},
    {3, TTextKind::kCategory, 165, 166, "",
     "Длительности такта не соответствуют заданному размеру!\rКатегория Б"},
    {4, TTextKind::kSingle, 167, 0, "", "Требуются уточнители!"},
    {5, TTextKind::kSingle, 168, 0, "", "Неверно задана ритмическая группа!"},
    {6, TTextKind::kSingle, 169, 0, "", "Ошибка в объединителе!"},
    {7, TTextKind::kSingle, 170, 0, "", "!Слишком много объеденителей!"},
    {8, TTextKind::kSingle, 171, 0, "", "Не задан размер такта!"},
    {9, TTextKind::kSingle, 172, 0, "", "Невозможно поставить метку перед интервалом!"},
    {10, TTextKind::kSingle, 173, 0, "", "Невозможно присоединить блок к интервалу!"},
    {11, TTextKind::kSingle, 174, 0, "", "Неверно заданы ключевые знаки!"},
    {12, TTextKind::kPair, 175, 176, "!", "Ошибка тактового размера!\rНеверная длительность доли!"},
    {13, TTextKind::kPair, 177, 178, "!", "Ошибка лиги держания!\rНе верная продолжающая нота!"},
    {14, TTextKind::kPair, 177, 179, "!",
     "Ошибка лиги держания!\rДля продолжающего аккорда интервалы не указываются!"},
    {15, TTextKind::kSingle, 180, 0, "", "Процесс генерации прерван пользователем!"},
    {16, TTextKind::kSingle, 413, 0, "", "Длительности такта выходят за пределы тактового размера!"},
    {18, TTextKind::kSingle, 443, 0, "", "Не могу инициировать midi-устройство!"},
    {22, TTextKind::kSingle, 116, 0, "", "Задан только нулевой трек!"},
    {25, TTextKind::kHandlerString, 0, 0, "", ""},
    {28, TTextKind::kSingle, 164, 0, "", "Гармонизация невозможна, так как не задан лад!"},
    {29, TTextKind::kHarmonyFail, 163, 0, "", "Невозможно гармонизовать!"},
    {30, TTextKind::kSingle, 162, 0, "", "Невозможно гармонизовать, так как не задана функция!"},
    {31, TTextKind::kSingle, 161, 0, "",
     "Невозможно гармонизовать, так как произошло отклонение в неизвестный лад!"},
    {32, TTextKind::kSingle, 111, 0, "", "Ложная директива!"},
    {39, TTextKind::kSingle, 327, 0, "", "Файл повреждён или имеет не поддерживаемый формат!"},
    {40, TTextKind::kSingle, 328, 0, "", "Для левой руки баяна удваивать интервалы нельзя!"},
    {41, TTextKind::kSingle, 329, 0, "", "Неизвестный аккорд!"},
};

constexpr TErrorText kHandlerTexts[] = {
    {1, TTextKind::kSingle, 117, 0, "", "Синтаксическая ошибка!"},
    {2, TTextKind::kSingle, 118, 0, "", "Ошибка в массиве!"},
    {3, TTextKind::kSingle, 119, 0, "", "Неверное расположение скобок!"},
    {4, TTextKind::kSingle, 120, 0, "", "Деление на ноль"},
    {5, TTextKind::kSingle, 121, 0, "", "Переменная не инициирована!"},
    {6, TTextKind::kSingle, 122, 0, "", "Массив не инициирован!"},
    {7, TTextKind::kSingle, 123, 0, "", "Невозможно инициировать!"},
    {8, TTextKind::kSingle, 124, 0, "", "Ошибка логического оператора!"},
    {9, TTextKind::kSingle, 125, 0, "", "Ошибка в выражении!"},
    {10, TTextKind::kSingle, 126, 0, "", "Не верный индекс!"},
    {11, TTextKind::kSingle, 127, 0, "", "Ошибка в имени!"},
    {12, TTextKind::kSingle, 128, 0, "", "Данное имя нельзя использовать!"},
    {13, TTextKind::kSingle, 129, 0, "", "Ошибка в операторе цикла!"},
    {14, TTextKind::kSingle, 130, 0, "", "Неверно задана метка!"},
    {15, TTextKind::kSingle, 131, 0, "", "Нельзя использовать зарезервированные слова!"},
    {16, TTextKind::kSingle, 132, 0, "", "Ошибка оператора Evry!"},
    {17, TTextKind::kSingle, 133, 0, "", "Ошибка оператора While!"},
    {18, TTextKind::kSingle, 134, 0, "", "Ошибка в блоке!"},
    {19, TTextKind::kSingle, 139, 0, "", "Модуль не найден!"},
    {20, TTextKind::kSingle, 140, 0, "", "Не допустимые команды в модуле!"},
    {21, TTextKind::kSingle, 141, 0, "", "Модуль с таким именем уже присоеденён к сонгу!"},
    {22, TTextKind::kSingle, 116, 0, "", "Задан только нулевой трек!"},
    {23, TTextKind::kSingle, 115, 0, "", "Слишком много операторов Print!"},
    {24, TTextKind::kSingle, 114, 0, "", "Файл транслятора не найден!"},
    {25, TTextKind::kHandlerString, 0, 0, "", ""},
    {26, TTextKind::kSingle, 112, 0, "",
     "Выражение, значение которого передаётся в сообщение об ошибке, необходимо заключить в "
     "кавычки!"},
    {27, TTextKind::kSingle, 113, 0, "", "Слишком много операторов Error!"},
    {32, TTextKind::kSingle, 111, 0, "", "Ложная директива!"},
    {33, TTextKind::kSingle, 109, 0, "", "Не допустимый темп!"},
    {34, TTextKind::kSingle, 110, 0, "", "Не верная нумерация описания параметров блока!"},
    {35, TTextKind::kSingle, 135, 0, "", "Ошибка в операторе Keys!"},
    {36, TTextKind::kSingle, 136, 0, "",
     "Попытка использования функции, доступной только внутри блока-обработчика или оператора "
     "Keys!"},
    {37, TTextKind::kSingle, 137, 0, "",
     "Попытка использования функции, доступной только внутри блока обработчика!"},
    {38, TTextKind::kSingle, 138, 0, "",
     "Попытка использования функции, доступной только внутри операторов Keys и EndKeys!"},
    {42, TTextKind::kSingle, 353, 0, "",
     "Указанный MIDI-файл не найден, повреждён или имеет неподдерживаемый формат!"},
    {43, TTextKind::kSingle, 354, 0, "",
     "Один из операторов midi-импорта ссылается на несуществующий трек!"},
    {44, TTextKind::kSingle, 356, 0, "",
     "Попытка останова воспроизведения не звучащего трека от импортированного файла!"},
    {45, TTextKind::kSingle, 357, 0, "",
     "Не возможно продолжить звучание не звучавшего до сих пор трека!"},
    {46, TTextKind::kSingle, 380, 0, "", "Функция не найдена!"},
    {kErrorNestingTooDeep, TTextKind::kSingle, 2120, 0, "", "Слишком глубокая вложенность!"},
    {kErrorPerformTooDeep, TTextKind::kSingle, 2121, 0, "",
     "Блоки вызывают друг друга (perform) слишком глубоко!"},
    {kErrorEndlessHandler, TTextKind::kSingle, 2122, 0, "", "Обработчик не кончается!"},
    {kErrorModuleNotRegular, TTextKind::kSingle, 2128, 0, "",
     "Файл модуля не читается: это не обычный файл!"},
};

const TErrorText& FindText(std::span<const TErrorText> table, uint8_t code) {
  for (const TErrorText& row : table) {
    if (row.Code == code) {
      return row;
    }
  }
  return kUnknown;
}

std::string BuiltIn(const TErrorText& row) {
  return Utf8ToCp1251(row.BuiltIn).Text + kCr;
}

// A single language text with "!", or the built-in text; each ends with CR.
std::string SingleText(const TErrorText& row) {
  if (row.First == 0) {
    return BuiltIn(row);
  }
  const std::string text = LangStr(row.First);
  return text == kMissing ? BuiltIn(row) : text + "!" + kCr;
}

std::string PairText(const TErrorText& row, const std::string& suffix) {
  const std::string first = LangStr(row.First);
  const std::string second = LangStr(row.Second);
  if (first == kMissing || second == kMissing) {
    return BuiltIn(row);
  }
  return first + "!" + kCr + second + suffix + kCr;
}

// The category of a measure whose durations do not match: A for code 2, B for code 3, in
// the alphabet of the language.
std::string CategoryLetter(uint8_t code) {
  return " " + (code == 2 ? LangStrOr(2126, "А") : LangStrOr(2127, "Б"));
}

// The handler's own text; without one, the unknown error.
std::string HandlerStringText() {
  const std::string message = GHandlerErrorMessage.Get();
  if (message.empty()) {
    return SingleText(kUnknown);
  }
  return message + kCr;
}

std::string HarmonyFailMessage(const TErrorText& row) {
  return SingleText(row) + HarmonyFailText + kCr;
}

std::string CodeText(const TErrorText& row) {
  switch (row.Kind) {
    case TTextKind::kSingle:
      return SingleText(row);
    case TTextKind::kPair:
      return PairText(row, Utf8ToCp1251(row.Suffix).Text);
    case TTextKind::kCategory:
      return PairText(row, CategoryLetter(row.Code));
    case TTextKind::kHandlerString:
      return HandlerStringText();
    case TTextKind::kHarmonyFail:
      return HarmonyFailMessage(row);
  }
  return SingleText(kUnknown);
}

// The detail is user text as often as not: its control bytes escaped, a runaway text cut.
// The reason is the program's own sentence and stays whole.
std::string Assemble(const std::string& place, const std::string& codeText,
                     const std::string& detail, const std::string& reason) {
  std::string text = place + kCr + codeText;
  if (!reason.empty()) {
    text += reason;
    if (!detail.empty()) {
      text += kCr;
    }
  }
  return text + ShortUserText(detail);
}

}  // namespace

std::string SongErrorMessage(uint8_t code, const std::string& detail, const std::string& place,
                             const std::string& reason) {
  return Assemble(place, CodeText(FindText(kSongTexts, code)), detail, reason);
}

std::string HandlerErrorMessage(uint8_t code, const std::string& detail,
                                const std::string& place, const std::string& reason) {
  return Assemble(place, CodeText(FindText(kHandlerTexts, code)), detail, reason);
}

std::string ErrorMessageLine(const std::string& message) {
  std::string joined;
  std::string line;
  auto flush = [&] {
    if (!line.empty()) {
      joined += (joined.empty() ? "" : " ") + line;
      line.clear();
    }
  };
  for (char c : message) {
    if (c == kCr || c == '\n') {
      flush();
    } else {
      line += c;
    }
  }
  flush();
  return joined;
}

void ReportSongError(uint8_t code, const std::string& detail, const std::string& place) {
  LangMessageBox(SongErrorMessage(code, detail, place), 3);
}

void ReportHandlerError(uint8_t code, const std::string& detail, const std::string& place) {
  LangMessageBox(HandlerErrorMessage(code, detail, place), 3);
}
