#include "tests/gui/GuiFixture.h"

#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <thread>

#include "gui/DlgMessageBox.h"
#include "gui/GuiShowMessage.h"
#include "tests/common/LogCapture.h"

namespace {

CDlgMessageBox* OpenBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<CDlgMessageBox*>(widget);
    if (box && box->isVisible()) return box;
  }
  return nullptr;
}

QPushButton* OkButton(CDlgMessageBox* box) {
  for (QPushButton* button : box->findChildren<QPushButton*>())
    if (button->text() == QStringLiteral("OK")) return button;
  return nullptr;
}

// Runs `act` on the box once it is open: the box's own loop runs the timer
// (a modal box does not return to the code that opened it).
class BoxWatcher {
 public:
  explicit BoxWatcher(std::function<void(CDlgMessageBox*)> act) : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      CDlgMessageBox* box = OpenBox();
      if (!box || seen_) return;
      seen_ = true;
      act_(box);
    });
    timer_.start(10);
  }
  bool Seen() const { return seen_; }

 private:
  std::function<void(CDlgMessageBox*)> act_;
  QTimer timer_;
  bool seen_ = false;
};

}  // namespace

class GuiShowMessageTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    shower_ = std::make_unique<CGuiShowMessage>(dispatcher_.get());
  }
  void TearDown() override {
    shower_->Quit();
    GuiTest::TearDown();
    shower_.reset();
  }
  std::unique_ptr<CGuiShowMessage> shower_;
};

TEST_F(GuiShowMessageTest, AWorkerBoxWaitsForTheMainWindowThenShowsOverIt) {
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    shower_->Show(L"Warning", L"Unable to reach <b>127.0.0.1</b>", SHOW_MESSAGE_WARNING);
    returned = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return shower_->Waiting() == 1; }, 5000)) << "the worker did not wait";
  ProcessUntil([] { return false; }, 100);
  EXPECT_EQ(OpenBox(), nullptr) << "a box was shown before the main window existed";

  QWidget main_window;
  main_window.show();
  bool returned_while_open = true;
  QString title, text;
  QWidget* parent = nullptr;
  BoxWatcher watcher([&](CDlgMessageBox* box) {
    title = box->windowTitle();
    text = box->ShownText();
    parent = box->parentWidget();
    returned_while_open = returned;
    if (QPushButton* ok = OkButton(box)) ok->click();
  });
  shower_->SetMainWindow(&main_window);
  const bool ended = ProcessUntil([&] { return returned.load(); });
  if (!ended) shower_->Quit();  // never leave the worker blocked
  worker.join();
  ASSERT_TRUE(watcher.Seen()) << "the box never appeared";
  ASSERT_TRUE(ended) << "closing the box did not release the worker";
  EXPECT_EQ(title, QStringLiteral("Warning"));
  EXPECT_EQ(text, QStringLiteral("Unable to reach 127.0.0.1"));  // rich text rendered
  EXPECT_EQ(parent, &main_window);
  EXPECT_FALSE(returned_while_open) << "the caller went on while its box was open";
}

TEST_F(GuiShowMessageTest, QuitReleasesWorkersWaitingForTheWindowAndTheirBoxes) {
  LogCapture log;
  std::atomic<int> returned{0};
  std::thread waiting([&] {
    shower_->Show(L"Warning", L"first", SHOW_MESSAGE_WARNING);
    ++returned;
  });
  ASSERT_TRUE(WaitUntil([&] { return shower_->Waiting() == 1; }, 5000));
  shower_->Quit();
  ASSERT_TRUE(WaitUntil([&] { return returned == 1; }, 2000)) << "quit did not release the waiting worker";
  waiting.join();
  EXPECT_TRUE(log.HasContaining(L"not shown at exit: first"));

  // Once quit, a box is refused at once.
  shower_->Show(L"Warning", L"second", SHOW_MESSAGE_WARNING);
  EXPECT_EQ(OpenBox(), nullptr);
}

TEST_F(GuiShowMessageTest, QuitClosesABoxAWorkerIsWaitingOn) {
  QWidget main_window;
  main_window.show();
  shower_->SetMainWindow(&main_window);
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    shower_->Show(L"Warning", L"parse error", SHOW_MESSAGE_ERROR);
    returned = true;
  });
  bool is_error_box = false;
  // Quit from inside the box's own loop, as closing the program does.
  BoxWatcher watcher([&](CDlgMessageBox* box) {
    is_error_box = qobject_cast<CDlgMessageBoxError*>(box) != nullptr;
    shower_->Quit();
  });
  const bool ended = ProcessUntil([&] { return returned.load(); }, 5000);
  if (!ended) shower_->Quit();
  worker.join();
  ASSERT_TRUE(watcher.Seen()) << "the box never appeared";
  EXPECT_TRUE(ended) << "the open box held the worker";
  EXPECT_TRUE(is_error_box) << "an error goes to the error box";
}
