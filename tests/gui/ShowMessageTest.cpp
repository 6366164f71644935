#include "tests/gui/GuiFixture.h"

#include <QPushButton>

#include <atomic>

#include "gui/DlgMessageBox.h"
#include "gui/GuiShowMessage.h"
#include "tests/common/LogCapture.h"

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
  // A worker thread showing one box; returned_ is set once Show came back.
  void ShowFromWorker(const wchar_t* text, ShowMessageIcon icon) {
    worker_ = std::thread([this, text, icon] {
      shower_->Show(L"Warning", text, icon);
      returned_ = true;
    });
  }
  // Never leaves the worker blocked; false when it had to be released.
  bool JoinWorker(int timeout_ms = 5000) {
    const bool ended = ProcessUntil([&] { return returned_.load(); }, timeout_ms);
    if (!ended) shower_->Quit();
    worker_.join();
    return ended;
  }

  std::unique_ptr<CGuiShowMessage> shower_;
  std::thread worker_;
  std::atomic<bool> returned_{false};
};

TEST_F(GuiShowMessageTest, AWorkerBoxWaitsForTheMainWindowThenShowsOverIt) {
  bool shown_early = false;
  ModalWatcher<CDlgMessageBox> early([&](CDlgMessageBox&) { shown_early = true; });
  ShowFromWorker(L"Unable to reach <b>127.0.0.1</b>", SHOW_MESSAGE_WARNING);
  ASSERT_TRUE(WaitUntil([&] { return shower_->Waiting() == 1; }, 5000)) << "the worker did not wait";
  ProcessUntil([] { return false; }, 100);
  EXPECT_FALSE(shown_early) << "a box was shown before the main window existed";

  QWidget main_window;
  main_window.show();
  bool returned_while_open = true;
  QString title, text;
  QWidget* parent = nullptr;
  ModalWatcher<CDlgMessageBox> watcher([&](CDlgMessageBox& box) {
    title = box.windowTitle();
    text = box.ShownText();
    parent = box.parentWidget();
    returned_while_open = returned_;
    for (QPushButton* button : box.findChildren<QPushButton*>())
      if (button->text() == QStringLiteral("OK")) button->click();
  });
  shower_->SetMainWindow(&main_window);
  const bool ended = JoinWorker();
  ASSERT_TRUE(watcher.Seen()) << "the box never appeared";
  ASSERT_TRUE(ended) << "closing the box did not release the worker";
  EXPECT_EQ(title, QStringLiteral("Warning"));
  EXPECT_EQ(text, QStringLiteral("Unable to reach 127.0.0.1"));  // rich text rendered
  EXPECT_EQ(parent, &main_window);
  EXPECT_FALSE(returned_while_open) << "the caller went on while its box was open";
}

TEST_F(GuiShowMessageTest, QuitReleasesAWorkerWaitingForTheWindowAndRefusesLaterBoxes) {
  LogCapture log;
  ShowFromWorker(L"first", SHOW_MESSAGE_WARNING);
  ASSERT_TRUE(WaitUntil([&] { return shower_->Waiting() == 1; }, 5000));
  shower_->Quit();
  ASSERT_TRUE(WaitUntil([&] { return returned_.load(); }, 2000)) << "quit did not release the waiting worker";
  worker_.join();
  EXPECT_TRUE(log.HasContaining(L"not shown at exit: first"));

  bool shown = false;
  ModalWatcher<CDlgMessageBox> watcher([&](CDlgMessageBox& box) {
    shown = true;
    box.reject();
  });
  shower_->Show(L"Warning", L"second", SHOW_MESSAGE_WARNING);  // returns at once
  ProcessUntil([] { return false; }, 50);
  EXPECT_FALSE(shown);
}

TEST_F(GuiShowMessageTest, QuitClosesAnErrorBoxAWorkerIsWaitingOn) {
  QWidget main_window;
  main_window.show();
  shower_->SetMainWindow(&main_window);
  bool is_error_box = false;
  // Quit from inside the box's own loop, as closing the program does.
  ModalWatcher<CDlgMessageBox> watcher([&](CDlgMessageBox& box) {
    is_error_box = qobject_cast<CDlgMessageBoxError*>(&box) != nullptr;
    shower_->Quit();
  });
  ShowFromWorker(L"parse error", SHOW_MESSAGE_ERROR);
  const bool ended = JoinWorker();
  ASSERT_TRUE(watcher.Seen()) << "the box never appeared";
  EXPECT_TRUE(ended) << "the open box held the worker";
  EXPECT_TRUE(is_error_box) << "an error goes to the error box";
}
