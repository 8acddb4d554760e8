// The one application of the view tests, on Qt's offscreen platform, with the program's
// accessible text and list interfaces installed as the program installs them.
#pragma once

#include <QApplication>

#include "songwindow/widgets/accessible_list.h"
#include "songwindow/widgets/accessible_text.h"

inline QApplication& OffscreenApplication() {
  static QApplication* application = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "songwindow_view_tests";
    static char* argv[] = {name, nullptr};
    auto* made = new QApplication(argc, argv);
    InstallAccessibleText();
    InstallAccessibleLists();
    return made;
  }();
  return *application;
}
