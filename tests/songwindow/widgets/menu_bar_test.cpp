#include "songwindow/widgets/menu_bar.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QTest>

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/songwindow/view/offscreen_application.h"

namespace {

// Qt's accessibility bridge while a screen reader listens: it holds back every key the
// system delivers and, once the reader answered, posts a copy to the same object, as Qt
// makes it (without the time; a modifier's own key flips its modifier).
class TReaderBridge final : public QObject {
 public:
  TReaderBridge() { qApp->installEventFilter(this); }
  ~TReaderBridge() override { qApp->removeEventFilter(this); }

  // The reader answers every key held back.
  void Answer() {
    for (auto& [target, copy] : held_) {
      if (target != nullptr) {
        QCoreApplication::postEvent(target, copy.release());
      }
    }
    held_.clear();
    QCoreApplication::sendPostedEvents();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!event->spontaneous() || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)) {
      return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    held_.emplace_back(watched, std::make_unique<QKeyEvent>(key->type(), key->key(), key->modifiers(),
                                                           key->nativeScanCode(), key->nativeVirtualKey(),
                                                           key->nativeModifiers(), key->text(),
                                                           key->isAutoRepeat(), key->count()));
    return true;
  }

 private:
  std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QKeyEvent>>> held_;
};

// Keys as the system delivers them, the reader's answers in between: "A+" Alt pressed,
// "R-" Right let go (Alt+Right is a command of the window), "." the reader answers.
struct TAltCase {
  const char* Name;
  const char* Keys;
  bool OnMenuBar;
};

void PrintTo(const TAltCase& c, std::ostream* os) {
  *os << c.Keys;
}

class MenuBarTest : public testing::TestWithParam<TAltCase> {
 protected:
  static void SetUpTestSuite() { OffscreenApplication(); }
  void SetUp() override {
    bar_ = new TMenuBar(&window_);
    window_.setMenuBar(bar_);
    bar_->addMenu("File")->addAction("Open");
    auto* next = new QAction("Next measure", &window_);
    next->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    window_.addAction(next);
    QObject::connect(next, &QAction::triggered, [this] { ++chords_; });
    field_ = new QLineEdit(&window_);
    window_.setCentralWidget(field_);
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    field_->setFocus();
  }
  // The system's key: through the window, shortcuts first, with the system's time.
  void SystemKey(const std::string& step) {
    const bool press = step[1] == '+';
    const bool alt = step[0] == 'A';
    // The modifiers held before the key, as the system tells them.
    const Qt::KeyboardModifiers held = alt_down_ ? Qt::AltModifier : Qt::NoModifier;
    alt_down_ = alt ? press : alt_down_;
    QTest::simulateEvent(window_.windowHandle(), press, alt ? Qt::Key_Alt : Qt::Key_Right, held, QString(), false);
  }

  QMainWindow window_;
  TMenuBar* bar_ = nullptr;
  QLineEdit* field_ = nullptr;
  bool alt_down_ = false;
  int chords_ = 0;  // Alt+Right taken by its shortcut
};

// Only Alt pressed and let go alone gives the keyboard to the menu bar (and the next Alt
// alone takes it back), however late the reader answers; a chord never does.
TEST_P(MenuBarTest, OnlyAltAloneReachesTheMenuBar) {
  const TAltCase& c = GetParam();
  TReaderBridge bridge;
  std::istringstream steps(c.Keys);
  int presses = 0;
  for (std::string step; steps >> step;) {
    presses += step == "R+" ? 1 : 0;
    step == "." ? bridge.Answer() : SystemKey(step);
  }
  EXPECT_EQ(chords_, presses);
  EXPECT_EQ(bar_->activeAction() != nullptr, c.OnMenuBar);
}

const TAltCase kAltCases[] = {
    {"AloneAnsweredAfter", "A+ A- .", true},
    {"AloneAnsweredAtOnce", "A+ . A- .", true},
    {"AloneTwiceTakesItBack", "A+ A- . A+ A- .", false},
    {"ChordAltLetGoFirst", "A+ R+ A- R- .", false},
    {"ChordAnsweredAfterItsKey", "A+ R+ . A- R- .", false},
    {"ChordKeyLetGoFirst", "A+ R+ . R- A- .", false},
    {"TwoQuickChords", "A+ R+ A- R- A+ . R+ A- R- .", false},
};
INSTANTIATE_TEST_SUITE_P(Keys, MenuBarTest, testing::ValuesIn(kAltCases),
                         [](const testing::TestParamInfo<TAltCase>& info) { return info.param.Name; });

}  // namespace
