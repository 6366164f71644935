#include "gui/DlgMessageBox.h"
#include "gui/GuiShowMessage.h"
#include "tests/common/LogCapture.h"
#include "tests/gui/GuiFixture.h"

#include <QPushButton>

#include <atomic>

class GuiShowMessageTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    m_shower = std::make_unique<CGuiShowMessage>(m_dispatcher.get());
  }
  void TearDown() override {
    m_shower->Quit();
    GuiTest::TearDown();
    m_shower.reset();
  }
  // A worker thread showing one box; m_returned is set once Show came back.
  void ShowFromWorker(const wchar_t* text, ShowMessageIcon icon) {
    m_worker = std::thread([this, text, icon] {
      m_shower->Show(L"Warning", text, icon);
      m_returned = true;
    });
  }
  // Never leaves the worker blocked; false when it had to be released.
  bool JoinWorker(int timeout_ms = 5000) {
    const bool ended = ProcessUntil([&] { return m_returned.load(); }, timeout_ms);
    if (!ended) m_shower->Quit();
    m_worker.join();
    return ended;
  }

  std::unique_ptr<CGuiShowMessage> m_shower;
  std::thread m_worker;
  std::atomic<bool> m_returned{false};
};

TEST_F(GuiShowMessageTest, AWorkerBoxWaitsForTheMainWindowThenShowsOverIt) {
  bool shown_early = false;
  ModalWatcher<CDlgMessageBox> early([&](CDlgMessageBox&) { shown_early = true; });
  ShowFromWorker(L"Unable to reach <b>127.0.0.1</b>", SHOW_MESSAGE_WARNING);
  ASSERT_TRUE(WaitUntil([&] { return m_shower->Waiting() == 1; }, 5000)) << "the worker did not wait";
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
    returned_while_open = m_returned;
    for (QPushButton* button : box.findChildren<QPushButton*>())
      if (button->text() == QStringLiteral("OK")) button->click();
  });
  m_shower->SetMainWindow(&main_window);
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
  ASSERT_TRUE(WaitUntil([&] { return m_shower->Waiting() == 1; }, 5000));
  m_shower->Quit();
  ASSERT_TRUE(WaitUntil([&] { return m_returned.load(); }, 2000)) << "quit did not release the waiting worker";
  m_worker.join();
  EXPECT_TRUE(log.HasContaining(L"not shown at exit: first"));

  bool shown = false;
  ModalWatcher<CDlgMessageBox> watcher([&](CDlgMessageBox& box) {
    shown = true;
    box.reject();
  });
  m_shower->Show(L"Warning", L"second", SHOW_MESSAGE_WARNING);  // returns at once
  ProcessUntil([] { return false; }, 50);
  EXPECT_FALSE(shown);
}

TEST_F(GuiShowMessageTest, QuitClosesAnErrorBoxAWorkerIsWaitingOn) {
  QWidget main_window;
  main_window.show();
  m_shower->SetMainWindow(&main_window);
  bool is_error_box = false;
  // Quit from inside the box's own loop, as closing the program does.
  ModalWatcher<CDlgMessageBox> watcher([&](CDlgMessageBox& box) {
    is_error_box = qobject_cast<CDlgMessageBoxError*>(&box) != nullptr;
    m_shower->Quit();
  });
  ShowFromWorker(L"parse error", SHOW_MESSAGE_ERROR);
  const bool ended = JoinWorker();
  ASSERT_TRUE(watcher.Seen()) << "the box never appeared";
  EXPECT_TRUE(ended) << "the open box held the worker";
  EXPECT_TRUE(is_error_box) << "an error goes to the error box";
}
