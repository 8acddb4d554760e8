#include "app/main_window_run.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <iostream>

#include "app/main_window.h"
#include "app/main_window_choices.h"
#include "app/recovery.h"
#include "app/shell.h"
#include "feedback/message_box.h"
#include "feedback/speech.h"
#include "songwindow/widgets/accessible_list.h"
#include "songwindow/widgets/accessible_text.h"
#include "songwindow/widgets/window_activation.h"
#include "platform/codec1251.h"
#include "platform/ini_file.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

// Message boxes shown by Qt on the UI thread; a box asked for by another thread waits
// there for the UI thread's answer.
class TQtMessageBoxes : public IMessageBoxes {
 public:
  int Show(const TMessageBoxRequest& request) override {
    if (QThread::currentThread() == qApp->thread()) {
      return ShowHere(request);
    }
    int answer = mbCancel;
    QMetaObject::invokeMethod(
        qApp, [&request] { return ShowHere(request); }, Qt::BlockingQueuedConnection, &answer);
    return answer;
  }

 private:
  static int ShowHere(const TMessageBoxRequest& request) {
    if (!request.Choices.empty()) {
      return ShowChoiceBox(request);
    }
    QString text = QString::fromStdString(Cp1251ToUtf8(request.Text));
    text.replace("\r\n", "\n").replace('\r', '\n');
    QMessageBox::Icon icon = QMessageBox::Question;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok | QMessageBox::Cancel;
    if (request.Kind == 1) {
      icon = QMessageBox::Information;
      buttons = QMessageBox::Ok;
    } else if (request.Kind == 2) {
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    } else if (request.Kind == 3) {
      icon = QMessageBox::Critical;
      buttons = QMessageBox::Ok;
    }
    QMessageBox box(icon, QString::fromStdString(Cp1251ToUtf8(request.Caption)), text, buttons,
                    QApplication::activeWindow());
    NameForScreenReaders(box);
    const int answer = box.exec();
    if (QWidget* owner = box.parentWidget()) {
      KeepWindowActive(*owner);
    }
    switch (answer) {
      case QMessageBox::Ok:
        return mbOk;
      case QMessageBox::Yes:
        return mbYes;
      case QMessageBox::No:
        return mbNo;
      default:
        return mbCancel;
    }
  }
};

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return true;
    }
  }
  return false;
}

// One box naming the plug-ins that were skipped.
void ShowPluginProblems(const std::vector<std::string>& problems) {
  if (problems.empty()) {
    return;
  }
  std::string text = LangStrOr(940, "Модули расширения не загружены:");
  for (const std::string& problem : problems) {
    text += "\r\n" + Utf8ToCp1251(problem).Text;
  }
  LangMessageBox(text, 3);
}

// Asks about each leftover song and opens those taken back; their old files go once the
// song is in its window's own files.
void RecoverLeftoverSongs(TMainWindow& window, std::vector<TLeftoverSong> leftovers,
                          std::vector<TLeftoverSong>& kept) {
  if (leftovers.empty()) {
    return;
  }
  TRecoveryAnswers answers = AskAboutLeftoverSongs(
      std::move(leftovers), [](const std::string& question) { return LangMessageBox(question, 2); });
  for (TLeftoverSong& song : answers.Recover) {
    if (window.OpenRecoveredSong(song)) {
      song.Discard();
    } else {
      kept.push_back(std::move(song));
    }
  }
  for (TLeftoverSong& song : answers.Later) {
    kept.push_back(std::move(song));
  }
}

}  // namespace

int ShowStartProblem(int argc, char** argv, const std::string& text) {
  std::cerr << "velto: " << Cp1251ToUtf8(text) << "\n";
  Speak(text, -1);
  if (!HasDisplay()) {
    return 1;
  }
  QApplication application(argc, argv);
  InstallAccessibleText();
  SetMessageBoxes(std::make_shared<TQtMessageBoxes>());
  LangMessageBox(text, 3);
  SetMessageBoxes(nullptr);
  return 1;
}

int RunMainWindow(int argc, char** argv, const std::vector<std::string>& songs,
                  const std::vector<std::string>& pluginProblems, bool playOne) {
  if (!HasDisplay()) {
    std::cerr << "velto: no display to open the window on (DISPLAY is not set); "
                 "without a window use --export, --play or --list-devices\n";
    return 1;
  }
  // Qt's own dialogs, so that their text fields answer screen readers as the window's do.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication application(argc, argv);
  InstallAccessibleText();
  InstallAccessibleLists();
  SetMessageBoxes(std::make_shared<TQtMessageBoxes>());
  int status = 0;
  {
    // Before any song window takes a number: the leftovers' state files are held from now.
    std::vector<std::string> strays;
    std::vector<TLeftoverSong> leftovers = FindLeftoverSongs(ProgramDir, &strays);
    for (const std::string& note : strays) {
      std::cerr << "velto: " << note << "\n";
    }
    std::vector<TLeftoverSong> kept;  // held until the program ends: the next start asks again
    TMainWindow window;
    if (const std::string language = StartLanguageFile(); !language.empty()) {
      window.ChooseLanguage(language);
    }
    window.ShowAtSavedPlace();
    QTimer::singleShot(0, &window, [&window, &songs, &pluginProblems, &leftovers, &kept, playOne] {
      ShowPluginProblems(pluginProblems);
      RecoverLeftoverSongs(window, std::move(leftovers), kept);
      // Songs a later copy handed over while the last run was closing, then these.
      window.OpenSongs(TakeKeptHandedOverSongs(ProgramDir), false);
      window.OpenSongs(songs, playOne);
    });
    status = QApplication::exec();
  }
  SetMessageBoxes(nullptr);
  return status;
}
