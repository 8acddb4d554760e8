#include "app/recovery.h"

#include <ctime>
#include <filesystem>

#include "feedback/message_box.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"

namespace {

std::string LocalTime(std::time_t time) {
  std::tm local{};
  if (time == 0 || ::localtime_r(&time, &local) == nullptr) {
    return "?";
  }
  char text[32];
  return std::strftime(text, sizeof text, "%d.%m.%Y %H:%M", &local) > 0 ? text : "?";
}

}  // namespace

std::string RecoveryQuestion(const TLeftoverSong& song) {
  const std::string file = song.FileName();
  const std::string name = file.empty()
                               ? LangStrOr(1, "безымянный")
                               : Utf8ToCp1251(std::filesystem::path(file).filename().string()).Text;
  std::string question = SubstituteArgs(
      LangStrOr(1420,
                "Программа завершилась, не закрыв сонг «%s» (изменён %s). Восстановить его? "
                "«Нет» удалит его, «Отмена» оставит до следующего запуска."),
      {name, LocalTime(song.Changed)});
  // Said before the answer: a save of the song taken back would write over that.
  if (song.FileSince == TFileState::Changed) {
    question += " " + LangStrOr(1421, "Файл изменён на диске с тех пор.");
  } else if (song.FileSince == TFileState::Deleted) {
    question += " " + LangStrOr(1422, "Файл удалён с диска с тех пор.");
  }
  return question;
}

TRecoveryAnswers AskAboutLeftoverSongs(std::vector<TLeftoverSong> leftovers,
                                       const std::function<int(const std::string&)>& ask) {
  TRecoveryAnswers answers;
  for (TLeftoverSong& song : leftovers) {
    switch (ask(RecoveryQuestion(song))) {
      case mbYes:
        answers.Recover.push_back(std::move(song));
        break;
      case mbNo:
        song.Discard();
        break;
      default:
        answers.Later.push_back(std::move(song));
        break;
    }
  }
  return answers;
}
