// The song window against other writers of its file: another program that replaced or
// deleted it, a UTF-8 file, another window's file, an undo folder that takes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "feedback/signals.h"
#include "model/leftover_songs.h"
#include "model/song_file.h"
#include "platform/atomic_file.h"
#include "songwindow/controller/song_window.h"
#include "tests/songwindow/song_window_fakes.h"
#include "tests/support/test_support.h"

namespace {

using namespace songwindowtest;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

const std::vector<std::string> kSong = {"1 0 0 1 0 0 0", "Общее", "Vd4m",
                                        "1 0 1 1 0 0 0", "Мелодия", "SSOO"};
const std::string kOther = "1 0 0 1 0 0 0\r\nOther\r\nVd4m\r\n";

std::string Bytes(const std::vector<std::string>& utf8Lines, bool utf8 = false) {
  std::string bytes;
  for (const std::string& line : utf8Lines) {
    bytes += (utf8 ? line : W(line)) + "\r\n";
  }
  return bytes;
}

const std::string kChanged =
    "choose song.qem изменён другой программой после открытия. "
    "[Оставить другую версию|Сохранить в другой файл|Перезаписать] default 1";
const std::string kDeleted =
    "choose song.qem удалён другой программой после открытия. "
    "[Не записывать|Сохранить в другой файл|Записать снова] default 2";

class SongFileGuardTest : public ::testing::Test {
 protected:
  void Open(bool utf8 = false) {
    path_ = rig_.home.Dir().File("song.qem");
    WriteBytes(path_, Bytes(kSong, utf8));
    ASSERT_TRUE(LoadSongFile(window_, path_, ""));
    window_.RememberSongFile(true);
    window_.ShowTreck(smSilent);
  }
  void Edit() { rig_.editors.notes = "SSOP"; }
  std::string Ours() const {
    std::vector<std::string> edited = kSong;
    edited[5] = "SSOP";
    return Bytes(edited);
  }

  TWindowRig rig_;
  TSongWindow window_{rig_.Ports(), 1, "qem"};
  std::string path_;
};

struct TCloseCase {
  const char* name;
  std::function<void(const std::string& path)> other;  // what the other program did
  bool edited;
  std::deque<int> choices;
  std::optional<std::string> saveAs;  // the save dialog's answer, a name in the folder
  bool closes;
  std::vector<std::string> asked;
  std::optional<std::string> file;  // the song file's bytes after (nothing: no file)
  bool ours;                        // the window's text in the file instead
};

class SongFileGuardCloseTest : public SongFileGuardTest,
                               public ::testing::WithParamInterface<TCloseCase> {};

// Closing never writes over another program's version by default: Enter would lose its work.
TEST_P(SongFileGuardCloseTest, CloseKeepsWhatAnotherProgramWrote) {
  const TCloseCase& c = GetParam();
  Open();
  c.other(path_);
  if (c.edited) {
    Edit();
  }
  rig_.questions.choose = c.choices;
  rig_.questions.answers = {mbNo};
  if (c.saveAs) {
    rig_.dialogs.answer = rig_.home.Dir().File(*c.saveAs);
  }
  EXPECT_EQ(window_.FormCloseQuery(), c.closes);
  EXPECT_EQ(rig_.questions.asked, c.asked);
  // A save dialog only for the answer that asks for one.
  EXPECT_EQ(rig_.dialogs.filters.size(), c.choices == std::deque<int>{1} ? 1u : 0u);
  if (c.ours) {
    EXPECT_EQ(ReadBytes(path_), Ours());
  } else if (c.file) {
    EXPECT_EQ(ReadBytes(path_), *c.file);
  } else {
    EXPECT_FALSE(std::filesystem::exists(path_));
  }
  if (c.saveAs && c.closes) {
    EXPECT_EQ(ReadBytes(rig_.home.Dir().File(*c.saveAs)), Ours());
  }
  // The undo files go with the window, and only with it.
  EXPECT_EQ(rig_.home.TempFiles().empty(), c.closes);
}

const auto kReplace = [](const std::string& p) { WriteBytes(p, kOther); };
const auto kDelete = [](const std::string& p) { std::filesystem::remove(p); };
const auto kTouch = [](const std::string& p) {
  std::filesystem::last_write_time(p, std::filesystem::last_write_time(p) + std::chrono::hours(1));
};

INSTANTIATE_TEST_SUITE_P(
    Writers, SongFileGuardCloseTest,
    ::testing::Values(
        TCloseCase{"ReplacedUntouched", kReplace, false, {}, {}, true, {}, kOther, false},
        // The other version kept: the window goes, no save dialog, nothing written.
        TCloseCase{"ReplacedEditedKept", kReplace, true, {0}, {}, true, {kChanged}, kOther, false},
        // Enter: the default offers a save dialog for the window's text; cancelled, the
        // window stays.
        TCloseCase{"ReplacedEditedDefaultSaveCancelled", kReplace, true, {1}, {}, false, {kChanged},
                   kOther, false},
        TCloseCase{"ReplacedEditedSavedElsewhere", kReplace, true, {1}, "mine.qem", true,
                   {kChanged}, kOther, false},
        TCloseCase{"ReplacedEditedOverwritten", kReplace, true, {2}, {}, true, {kChanged}, {}, true},
        TCloseCase{"ReplacedEditedBoxClosed", kReplace, true, {}, {}, false, {kChanged}, kOther,
                   false},
        TCloseCase{"DeletedUntouchedWrittenAgain", kDelete, false, {2}, {}, true, {kDeleted},
                   Bytes(kSong), false},
        TCloseCase{"DeletedEditedLeftDeleted", kDelete, true, {0}, {}, true, {kDeleted}, {}, false},
        TCloseCase{"DeletedEditedSaveCancelled", kDelete, true, {1}, {}, false, {kDeleted}, {},
                   false},
        TCloseCase{"DeletedEditedSavedElsewhere", kDelete, true, {1}, "mine.qem", true,
                   {kDeleted}, {}, false},
        TCloseCase{"ReplacedEditedSavedOverItsOwnNameRefused", kReplace, true, {1}, "song.qem", false,
                   {kChanged, "3 song.qem открыт в окне «song (qem)». Выберите другое имя."}, kOther,
                   false},
        TCloseCase{"TouchedUntouched", kTouch, false, {}, {}, true, {}, Bytes(kSong), false},
        TCloseCase{"TouchedEdited", kTouch, true, {}, {}, true,
                   {"2 Файл song.qem был изменён. Сохранить?"}, Bytes(kSong), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SongFileGuardTest, CtrlSWritesAndAnswersWithTheOkSignal) {
  Open();
  Edit();
  EXPECT_EQ(window_.SaveOverFile(), TSaveResult::Saved);
  EXPECT_EQ(ReadBytes(path_), Ours());
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sOk});
  EXPECT_TRUE(rig_.questions.asked.empty());
  // What the window wrote is its own: the next save asks nothing either.
  EXPECT_EQ(window_.SaveOverFile(), TSaveResult::Saved);
  EXPECT_TRUE(rig_.questions.asked.empty());
}

TEST_F(SongFileGuardTest, CtrlSOverAnotherProgramsVersionAsksFirst) {
  Open();
  Edit();
  WriteBytes(path_, kOther);
  rig_.questions.choose = {1};
  EXPECT_EQ(window_.SaveOverFile(), TSaveResult::SaveAsWanted);
  rig_.questions.choose = {0};  // the other version kept: nothing written, and said so
  EXPECT_EQ(window_.SaveOverFile(), TSaveResult::NotSaved);
  rig_.questions.choose = {};
  EXPECT_EQ(window_.SaveOverFile(), TSaveResult::NotSaved);
  EXPECT_EQ(ReadBytes(path_), kOther);
  EXPECT_EQ(rig_.questions.asked, (std::vector<std::string>{kChanged, kChanged, kChanged}));
  EXPECT_EQ(rig_.speaker.said,
            (std::vector<std::string>{"I song.qem не сохранён.", "I song.qem не сохранён."}));
  rig_.questions.choose = {2};
  EXPECT_EQ(window_.SaveOverFile(), TSaveResult::Saved);
  EXPECT_EQ(ReadBytes(path_), Ours());
}

// A name that became a symbolic link since the song was opened: the question says where it
// points, since Overwrite would write that file.
TEST_F(SongFileGuardTest, TheQuestionSaysWhereANameThatBecameALinkPoints) {
  Open();
  Edit();
  const std::string elsewhere = rig_.home.Dir().File("elsewhere.qem");
  WriteBytes(elsewhere, kOther);
  std::filesystem::remove(path_);
  std::filesystem::create_symlink("elsewhere.qem", path_);
  rig_.questions.choose = {};
  EXPECT_EQ(window_.SaveOverFile(), TSaveResult::NotSaved);
  EXPECT_EQ(rig_.questions.asked,
            std::vector<std::string>{
                "choose song.qem изменён другой программой после открытия. Имя song.qem теперь "
                "ссылка на " + elsewhere +
                ". [Оставить другую версию|Сохранить в другой файл|Перезаписать] default 1"});
  EXPECT_EQ(ReadBytes(elsewhere), kOther);
}

TEST_F(SongFileGuardTest, AFailedSaveSaysWhy) {
  Open();
  std::filesystem::remove(path_);
  std::filesystem::create_directory(path_);
  rig_.questions.choose = {2};
  EXPECT_EQ(window_.SaveOverFile(), TSaveResult::NotSaved);
  EXPECT_EQ(rig_.signaller.kinds, std::vector<uint8_t>{sError});
  ASSERT_EQ(rig_.speaker.said.size(), 1u);
  EXPECT_EQ(rig_.speaker.said[0], "I Не удаётся сохранить файл " + path_ + ": Это папка")
      << rig_.speaker.said[0];
  EXPECT_EQ(rig_.questions.asked.back(), "3 " + rig_.speaker.said[0].substr(2));
}

// A UTF-8 song is compared as the load converted it; saving it says it becomes 1251.
TEST_F(SongFileGuardTest, AUtf8SongAsksOnlyWhenChangedAndSaysItBecomes1251) {
  Open(true);
  EXPECT_TRUE(window_.Ending(false));
  EXPECT_TRUE(rig_.questions.asked.empty());
  Edit();
  rig_.questions.answers = {mbCancel};
  EXPECT_FALSE(window_.FormCloseQuery());
  EXPECT_EQ(rig_.questions.asked,
            std::vector<std::string>{
                "2 Файл song.qem был изменён. Сохранить? Он будет сохранён в кодировке 1251."});
}

TEST_F(SongFileGuardTest, SaveAsRefusesAnotherWindowsSong) {
  Open();
  window_.WindowShowingFile = [this](const std::string& path) {
    return path == rig_.home.Dir().File("theirs.qem") ? W("theirs (qem)") : std::string();
  };
  WriteBytes(rig_.home.Dir().File("theirs.qem"), kOther);
  rig_.dialogs.answer = rig_.home.Dir().File("theirs");
  EXPECT_EQ(window_.SaveUnderChosenName(), false);
  EXPECT_EQ(rig_.questions.asked,
            std::vector<std::string>{"3 theirs.qem открыт в окне «theirs (qem)». Выберите другое имя."});
  EXPECT_EQ(ReadBytes(rig_.home.Dir().File("theirs.qem")), kOther);
  rig_.dialogs.answer = std::nullopt;
  EXPECT_EQ(window_.SaveUnderChosenName(), std::nullopt);
}

// A name typed without the extension: the file it becomes is replaced only when agreed.
TEST_F(SongFileGuardTest, SaveAsAsksBeforeReplacingTheFileTheExtensionNames) {
  Open();
  Edit();
  const std::string mine = rig_.home.Dir().File("mine.qem");
  WriteBytes(mine, kOther);
  rig_.dialogs.answer = rig_.home.Dir().File("mine");
  rig_.questions.answers = {mbCancel, mbOk};
  EXPECT_EQ(window_.SaveUnderChosenName(), std::nullopt);
  EXPECT_EQ(ReadBytes(mine), kOther);
  EXPECT_EQ(window_.SaveUnderChosenName(), true);
  EXPECT_EQ(ReadBytes(mine), Ours());
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>(2, "0 mine.qem уже есть. Заменить его?"));
}

// A window that ended without closing left its song; a window made from it knows the file
// as the first one last read it, so another program's change since is asked about.
class RecoveredSongGuardTest : public SongFileGuardTest {
 protected:
  // Opens, types and ends without closing; then `other` acts on the file; then the
  // leftover is found and taken back into window 2.
  std::vector<TLeftoverSong> CrashThen(const std::function<void(const std::string&)>& other) {
    {
      TSongWindow crashed(rig_.Ports(), 3, "qem");
      path_ = rig_.home.Dir().File("song.qem");
      WriteBytes(path_, Bytes(kSong));
      EXPECT_TRUE(LoadSongFile(crashed, path_, ""));
      crashed.RememberSongFile(true);
      crashed.ShowTreck(smSilent);
      Edit();
      crashed.Saved(W("ввод"));
      EXPECT_TRUE(crashed.WritePresentSong());
    }
    other(path_);
    std::vector<TLeftoverSong> found = FindLeftoverSongs(ProgramDir);
    EXPECT_EQ(found.size(), 1u);
    return found;
  }
  void Recover(const TLeftoverSong& leftover) {
    recovered_.Data = leftover.Lines;
    std::string label;
    recovered_.Convert(label);
    ASSERT_NE(recovered_.CurrentTrack, nullptr);
    ASSERT_TRUE(leftover.FileIdentity.has_value());
    recovered_.AdoptSongFile(*leftover.FileIdentity);
    recovered_.ShowTreck(smSilent);
  }
  TSongWindow recovered_{rig_.Ports(), 2, "qem"};
};

TEST_F(RecoveredSongGuardTest, CtrlSAsksBeforeWritingOverAChangeMadeSinceTheEnd) {
  std::vector<TLeftoverSong> found = CrashThen(kReplace);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].FileSince, TFileState::Changed);
  Recover(found[0]);
  found[0].Discard();
  rig_.questions.choose = {};
  EXPECT_EQ(recovered_.SaveOverFile(), TSaveResult::NotSaved);
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>{kChanged});
  EXPECT_EQ(ReadBytes(path_), kOther);
  // The recovered window keeps the record too: another end without closing still knows it.
  const std::optional<std::string> kept =
      ReadFileBytes(UndoFileIdentityPath(ProgramDir, 2));
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(DecodeFileIdentity(*kept), found[0].FileIdentity);
  rig_.questions.choose = {2};
  EXPECT_EQ(recovered_.SaveOverFile(), TSaveResult::Saved);
  EXPECT_EQ(ReadBytes(path_), Ours());
}

TEST_F(RecoveredSongGuardTest, AnUnchangedFileIsWrittenWithoutAQuestion) {
  std::vector<TLeftoverSong> found = CrashThen([](const std::string&) {});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].FileSince, TFileState::Unchanged);
  Recover(found[0]);
  found[0].Discard();
  EXPECT_EQ(recovered_.SaveOverFile(), TSaveResult::Saved);
  EXPECT_TRUE(rig_.questions.asked.empty());
  EXPECT_EQ(ReadBytes(path_), Ours());
}

TEST_F(RecoveredSongGuardTest, ADeletedFileIsAskedAboutAndNoFileOfTheLeftoverStays) {
  std::vector<TLeftoverSong> found = CrashThen(kDelete);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].FileSince, TFileState::Deleted);
  Recover(found[0]);
  found[0].Discard();
  EXPECT_FALSE(std::filesystem::exists(UndoFileIdentityPath(ProgramDir, 3)));
  rig_.questions.choose = {1};
  EXPECT_EQ(recovered_.SaveOverFile(), TSaveResult::SaveAsWanted);
  EXPECT_EQ(rig_.questions.asked, std::vector<std::string>{kDeleted});
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST(SongFileGuard, AnUndoFolderThatTakesNothingIsNamedOnce) {
  TWindowRig rig;
  const std::string temp = rig.home.Dir().Path() + "Resources/temp";
  std::filesystem::remove_all(temp);
  WriteBytes(temp, "");
  TSongWindow window(rig.Ports(), 1, "qem");
  window.AddTreck(window.CurrentTrack, "x", 0);
  window.Saved(W("ввод"));
  window.Saved(W("ввод"));
  EXPECT_EQ(rig.signaller.kinds, std::vector<uint8_t>{sError});
  ASSERT_EQ(rig.speaker.said.size(), 1u);
  // One language: the reason is said as for a song file that cannot be saved.
  EXPECT_EQ(rig.speaker.said[0].rfind("S Шаги отмены не сохраняются: Не удаётся сохранить файл ", 0),
            0u)
      << rig.speaker.said[0];
  EXPECT_EQ(rig.speaker.said[0].find("cannot"), std::string::npos) << rig.speaker.said[0];
  EXPECT_NE(rig.speaker.said[0].find(temp), std::string::npos) << rig.speaker.said[0];
  std::filesystem::remove(temp);
}

}  // namespace
