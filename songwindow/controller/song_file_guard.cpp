// The song's file against other writers: what the window loaded or wrote last, and the
// questions before it writes over a file that another program changed or deleted.
#include <filesystem>

#include "feedback/file_error_text.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "model/song_file.h"
#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "platform/paths.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"

namespace {


std::string ShortName(const std::string& path) {
  return Utf8ToCp1251(std::filesystem::path(path).filename().string()).Text;
}

bool IsUtf8Text(const std::string& bytes) {
  return bytes.rfind("\xEF\xBB\xBF", 0) == 0 || IsUtf8BeyondAscii(bytes);
}

// Where the name points when it is a symbolic link now (a full path), else empty: a write
// over it writes that file.
std::string LinkTarget(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_symlink(path, error)) {
    return {};
  }
  std::filesystem::path target = std::filesystem::read_symlink(path, error);
  if (error) {
    return {};
  }
  if (target.is_relative()) {
    target = std::filesystem::absolute(std::filesystem::path(path).parent_path() / target, error);
  }
  return target.lexically_normal().string();
}

}  // namespace

void TSongWindow::RememberSongFile(bool afterLoad) {
  bool utf8 = false;
  if (afterLoad) {
    const std::optional<std::string> bytes = ReadFileBytes(FileName);
    utf8 = bytes && IsUtf8Text(*bytes);
  }
  std::vector<std::string> lines;
  if (Data.size() > 2) {
    lines.assign(Data.begin() + 2, Data.end());
  }
  SongFile.Remember(FileName, std::move(lines), utf8);
  KeepSongFileIdentity();
}

void TSongWindow::KeepSongFileIdentity() {
  const std::optional<TSavedFileIdentity> saved = SongFile.Saved();
  undo_->WriteFileIdentity(saved ? EncodeFileIdentity(*saved) : std::string());
}

void TSongWindow::AdoptSongFile(const TSavedFileIdentity& saved) {
  // The file's lines are the window's only while the file is as it remembered it.
  std::vector<std::string> lines;
  if (CompareWithStamp(saved.Path, saved.Stamp) == TFileState::Unchanged) {
    lines = ReadSongFileLines(saved.Path).value_or(std::vector<std::string>());
  }
  SongFile.Adopt(saved, std::move(lines));
  KeepSongFileIdentity();
}

std::optional<std::vector<std::string>> TSongWindow::SongFileLines() const {
  if (SongFile.Holds(FileName)) {
    return SongFile.Lines();
  }
  return ReadSongFileLines(FileName);
}

std::string TSongWindow::SaveQuestion() const {
  std::string question = SubstituteArgs(LangStrOr(214, "Файл %s был изменён. Сохранить?"),
                                        {ShortName(FileName)});
  if (SongFile.Holds(FileName) && SongFile.WasUtf8()) {
    question += " " + LangStrOr(1257, "Он будет сохранён в кодировке 1251.");
  }
  return question;
}

TWriteOver TSongWindow::AskBeforeWritingOver() {
  const TFileState state = SongFile.Check(FileName);
  if (state != TFileState::Changed && state != TFileState::Deleted) {
    return TWriteOver::Write;
  }
  const bool deleted = state == TFileState::Deleted;
  std::string text =
      deleted ? SubstituteArgs(LangStrOr(1251, "%s удалён другой программой после открытия."),
                               {ShortName(FileName)})
              : SubstituteArgs(LangStrOr(1250, "%s изменён другой программой после открытия."),
                               {ShortName(FileName)});
  if (const std::string target = LinkTarget(FileName); !target.empty()) {
    text += " " + SubstituteArgs(LangStrOr(1275, "Имя %s теперь ссылка на %s."),
                                 {ShortName(FileName), Utf8ToCp1251(target).Text});
  }
  const std::vector<std::string> choices = {
      deleted ? LangStrOr(1255, "Не записывать") : LangStrOr(1252, "Оставить другую версию"),
      LangStrOr(1253, "Сохранить в другой файл"),
      deleted ? LangStrOr(1256, "Записать снова") : LangStrOr(1254, "Перезаписать")};
  // The default loses nothing and writes over nothing: a deleted file is written again, the
  // window's text beside another program's version goes to another file.
  switch (ports_.Questions->Choose(text, choices, deleted ? 2 : 1)) {
    case 0: return TWriteOver::Keep;
    case 1: return TWriteOver::SaveElsewhere;
    case 2: return TWriteOver::Write;
    default: return TWriteOver::Cancel;
  }
}

TSaveResult TSongWindow::SaveOverFile() {
  CommitEditors();
  const std::string notSaved =
      SubstituteArgs(LangStrOr(1258, "%s не сохранён."), {ShortName(FileName)});
  switch (AskBeforeWritingOver()) {
    case TWriteOver::Write:
      break;
    case TWriteOver::Cancel:
    case TWriteOver::Keep:
      ports_.Speaker->Speak(notSaved, 1);
      return TSaveResult::NotSaved;
    case TWriteOver::SaveElsewhere:
      return TSaveResult::SaveAsWanted;
  }
  std::string error;
  if (!SaveSongFile(*this, FileName, Utf8ToCp1251(kSaveLabel).Text, &error)) {
    const std::string why = FileErrorText(TFileAction::Save, FileName, error);
    ports_.Signaller->Signal(sError);
    ports_.Speaker->Speak(why, 1);
    ports_.Questions->Ask(why, 3);
    return TSaveResult::NotSaved;
  }
  RememberSongFile(false);
  ports_.Signaller->Signal(sOk);
  return TSaveResult::Saved;
}

std::optional<bool> TSongWindow::SaveUnderChosenName() {
  std::string ext;
  const std::string filter = SongFileFilter(&ext);
  const std::optional<std::string> chosen =
      ports_.FileDialogs != nullptr ? ports_.FileDialogs->SaveFileName(filter) : std::nullopt;
  if (!chosen) {
    return std::nullopt;
  }
  const std::filesystem::path path = SaveDialogPath(*chosen, Cp1251ToUtf8(ext));
  // Not over the version the user keeps, nor over a song another window shows.
  std::string other = SongFile.Holds(path.string()) ? SongCaption() : std::string();
  if (other.empty() && WindowShowingFile) {
    other = WindowShowingFile(path.string());
  }
  if (!other.empty()) {
    ports_.Questions->Ask(
        SubstituteArgs(LangStrOr(1260, "%s открыт в окне «%s». Выберите другое имя."),
                       {ShortName(path.string()), other}),
        3);
    return false;
  }
  if (!MayReplace(*chosen, path)) {
    return std::nullopt;
  }
  CommitEditors();
  std::string error;
  if (!SaveSongFile(*this, path, Utf8ToCp1251(kSaveLabel).Text, &error)) {
    ports_.Questions->Ask(FileErrorText(TFileAction::Save, path.string(), error), 3);
    return false;
  }
  ports_.Signaller->Signal(sOk);
  return true;
}

std::filesystem::path SaveDialogPath(const std::filesystem::path& chosen, const std::string& ext) {
  std::filesystem::path path = chosen;
  if (!path.has_extension()) {
    path += ext;
  }
  if (std::optional<std::filesystem::path> found =
          FindInFolder(path.parent_path(), path.filename().string())) {
    path = *found;
  }
  return path;
}

bool TSongWindow::MayReplace(const std::filesystem::path& chosen, const std::filesystem::path& path) {
  std::error_code error;
  if (path == chosen || !std::filesystem::exists(path, error)) {
    return true;
  }
  const std::string question =
      SubstituteArgs(LangStrOr(1608, "%s уже есть. Заменить его?"), {ShortName(path.string())});
  return ports_.Questions->Ask(question, 0) == mbOk;
}

std::optional<bool> TSongWindow::EndingAfterOtherWriter(bool Closing) {
  const TFileState state = SongFile.Check(FileName);
  if (state != TFileState::Changed && state != TFileState::Deleted) {
    return std::nullopt;
  }
  if (state == TFileState::Changed && !SongDiffersFromFile()) {
    return true;  // nothing of this window's is lost: the other version stays
  }
  switch (AskBeforeWritingOver()) {
    case TWriteOver::Cancel:
      return false;
    case TWriteOver::Keep:
      // The other program's version stays and the window's text goes, as "No" does.
      if (!Closing) {
        EmptySong();
      }
      return true;
    case TWriteOver::SaveElsewhere:
      // A save dialog cancelled or a failed write keeps the window, or its text is lost.
      return SaveUnderChosenName().value_or(false);
    case TWriteOver::Write:
      break;
  }
  CommitEditors();
  std::string error;
  if (!SaveSongFile(*this, FileName, Utf8ToCp1251(kSaveLabel).Text, &error)) {
    ports_.Questions->Ask(FileErrorText(TFileAction::Save, FileName, error), 3);
    return false;
  }
  RememberSongFile(false);
  if (!Closing) {
    ShowTreck(smTrack);
  }
  return true;
}
