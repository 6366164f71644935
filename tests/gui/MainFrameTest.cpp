#include "tests/gui/GuiFixture.h"

#include <QLabel>
#include <QLayout>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>

#include <fstream>
#include <thread>

#include "gui/DlgAbout.h"
#include "gui/MainFrame.h"
#include "gui/MainMenu.h"
#include "gui/MyMenu.h"
#include "gui/TabbedView.h"
#include "gui/ViewPlaceholder.h"
#include "tests/common/LogCapture.h"

class MainFrameTest : public GuiTest {
 protected:
  void TearDown() override {
    frame_.reset();
    GuiTest::TearDown();
  }
  CMainFrame* Open() {
    frame_ = std::make_unique<CMainFrame>(dispatcher_.get());
    return frame_.get();
  }
  // Shows the frame and makes it the active window, so that keys reach it.
  CMainFrame* OpenActive() {
    Open();
    frame_->show();
    frame_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(frame_.get(), 5000)) << "the main window never became active";
    return frame_.get();
  }
  CViewPlaceholder* Placeholder(int tab) { return qobject_cast<CViewPlaceholder*>(frame_->TabbedView()->View(tab)); }
  std::vector<uint32_t> AllReceived() {
    std::vector<uint32_t> all;
    for (int tab = 0; tab < TAB_COUNT; ++tab) {
      const CViewPlaceholder* placeholder = Placeholder(tab);  // tools with their real view have none
      if (placeholder == nullptr) continue;
      for (uint32_t c : placeholder->Received()) all.push_back(c);
    }
    return all;
  }
  static uint32_t Stored(uint32_t setting) {
    uint32_t value = 0xDEAD;
    return ReadSettingDword(setting, -1, &value) ? value : 0xFFFFFFFFu;
  }

  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainFrameTest, StartsTitledWithFiveTabsOnTheBrowserWhenLastViewIsOutOfRange) {
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_LAST_VIEW, -1, 7));
  Open();
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("Tavelo"));
  CTabbedView* tabs = frame_->TabbedView();
  ASSERT_EQ(tabs->count(), 5);
  QStringList labels;
  for (int i = 0; i < tabs->count(); ++i) {
    labels << tabs->tabText(i);
    EXPECT_FALSE(tabs->tabIcon(i).isNull()) << "tab " << i << " has no icon";
  }
  EXPECT_EQ(labels, (QStringList{"Browser", "Walker", "Trapper", "Simuler", "Logger"}));
  // Every tab shows its own image.
  for (int i = 0; i < tabs->count(); ++i)
    for (int j = i + 1; j < tabs->count(); ++j)
      EXPECT_NE(tabs->tabIcon(i).pixmap(16).toImage(), tabs->tabIcon(j).pixmap(16).toImage()) << i << " and " << j;
  EXPECT_EQ(tabs->currentIndex(), TAB_BROWSER);
}

TEST_F(MainFrameTest, TabPositionAndBorderSizeComeFromTheSettings) {
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_TAB_POSITION, -1, 0));
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_BORDER_SIZE, -1, 3));
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_LAST_VIEW, -1, 4));
  Open();
  EXPECT_EQ(frame_->TabbedView()->tabPosition(), QTabWidget::South);
  EXPECT_EQ(frame_->TabbedView()->currentIndex(), TAB_LOGGER);
  QWidget* page = frame_->TabbedView()->widget(0);
  EXPECT_EQ(page->layout()->contentsMargins(), QMargins(3, 3, 3, 3));
  frame_.reset();
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_TAB_POSITION, -1, 9));
  Open();
  EXPECT_EQ(frame_->TabbedView()->tabPosition(), QTabWidget::North);
  EXPECT_EQ(frame_->TabbedView()->widget(0)->layout()->contentsMargins(), QMargins(3, 3, 3, 3));
}

TEST_F(MainFrameTest, AHiddenToolBarStartsUncheckedAndIsStoredHiddenAgain) {
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_TOOL_BAR, -1, 0));
  Open();
  frame_->show();
  QAction* item = frame_->Menu()->Actions(ID_VIEW_TOOLBAR).front();
  EXPECT_FALSE(frame_->ToolBar()->isVisible());
  EXPECT_FALSE(item->isChecked());
  EXPECT_TRUE(frame_->statusBar()->isVisible());
  EXPECT_TRUE(frame_->Menu()->Actions(ID_VIEW_STATUS_BAR).front()->isChecked());
  ASSERT_TRUE(frame_->close());
  EXPECT_EQ(Stored(SETTING_MAINFRAME_TOOL_BAR), 0u);
  EXPECT_EQ(Stored(SETTING_MAINFRAME_STATUS_BAR), 1u);

  // The toggles flip the bar and its check mark, and closing keeps them.
  Open();
  frame_->show();
  item = frame_->Menu()->Actions(ID_VIEW_TOOLBAR).front();
  item->trigger();
  EXPECT_TRUE(frame_->ToolBar()->isVisible());
  EXPECT_TRUE(item->isChecked());
  frame_->Menu()->Actions(ID_VIEW_STATUS_BAR).front()->trigger();
  EXPECT_FALSE(frame_->statusBar()->isVisible());
  ASSERT_TRUE(frame_->close());
  EXPECT_EQ(Stored(SETTING_MAINFRAME_TOOL_BAR), 1u);
  EXPECT_EQ(Stored(SETTING_MAINFRAME_STATUS_BAR), 0u);
}

TEST_F(MainFrameTest, APostedChooserMessageBringsSimulerToTheFront) {
  Open();
  ASSERT_EQ(frame_->TabbedView()->currentIndex(), TAB_BROWSER);
  size_t queued = 0;
  std::thread worker([&] {
    PostViewMessage(L"CViewWalker", MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_SIMULER, 0, &queued);
  });
  worker.join();
  EXPECT_EQ(queued, 1u);
  ASSERT_TRUE(ProcessUntil([&] { return frame_->TabbedView()->currentIndex() == TAB_SIMULER; }))
      << "the chooser post was not handled";
  EXPECT_EQ(Stored(SETTING_MAINFRAME_LAST_VIEW), 3u);
}

TEST_F(MainFrameTest, TheTabbedViewStopsReceivingWhenDestroyed) {
  Open();
  EXPECT_GT(CMessageCenter::Count(), 0u);
  frame_.reset();
  EXPECT_EQ(CMessageCenter::Count(), 0u);
  LogCapture log;
  PostViewMessage(L"CViewWalker", MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_LOGGER, 0);
  EXPECT_TRUE(log.HasContaining(L"with no forwarder for a post message"));
}

TEST_F(MainFrameTest, KeypadPlusAndMinusGoToTheBrowser) {
  OpenActive();
  CTabbedView* tabs = frame_->TabbedView();
  tabs->ActivateTab(TAB_WALKER);
  QTest::keyClick(frame_.get(), Qt::Key_Plus, Qt::KeypadModifier);
  QTest::keyClick(frame_.get(), Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_TRUE(AllReceived().empty()) << "the keypad reached a view on the Walker tab";

  tabs->ActivateTab(TAB_BROWSER);
  QTest::keyClick(frame_.get(), Qt::Key_Plus, Qt::KeypadModifier);
  QTest::keyClick(frame_.get(), Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(Placeholder(TAB_BROWSER)->Received(), (std::vector<uint32_t>{16, 17}));

  // The plus key of the main keyboard is not the keypad's.
  QTest::keyClick(frame_.get(), Qt::Key_Plus);
  EXPECT_EQ(Placeholder(TAB_BROWSER)->Received().size(), 2u);
}

TEST_F(MainFrameTest, ControlDigitsChooseTheTabsAndStoreLastView) {
  OpenActive();
  const std::pair<Qt::Key, int> keys[] = {
      {Qt::Key_4, TAB_SIMULER}, {Qt::Key_2, TAB_WALKER}, {Qt::Key_5, TAB_LOGGER}, {Qt::Key_3, TAB_TRAPPER}, {Qt::Key_1, TAB_BROWSER}};
  for (auto [key, tab] : keys) {
    QTest::keyClick(frame_.get(), key, Qt::ControlModifier);
    EXPECT_EQ(frame_->TabbedView()->currentIndex(), tab);
    EXPECT_EQ(Stored(SETTING_MAINFRAME_LAST_VIEW), static_cast<uint32_t>(tab));
  }
  // Tool commands go to the active tab's view only: no other tab sees the Walker's GET.
  frame_->TabbedView()->ActivateTab(TAB_WALKER);
  QTest::keyClick(frame_.get(), Qt::Key_G, Qt::ControlModifier);
  EXPECT_TRUE(AllReceived().empty());
}

TEST_F(MainFrameTest, PlacementIsStoredOnCloseAndAppliedOnTheNextStart) {
  Open();
  frame_->setGeometry(40, 50, 640, 480);
  frame_->show();
  ASSERT_TRUE(frame_->close());
  WindowPlacement stored;
  ASSERT_TRUE(ReadWindowPlacement(&stored));
  EXPECT_EQ(stored.length, 44u);
  EXPECT_EQ(stored.show_cmd, 1u);
  EXPECT_EQ(stored.right - stored.left, 640);
  EXPECT_EQ(stored.bottom - stored.top, 480);

  Open();
  EXPECT_EQ(frame_->geometry().size(), QSize(640, 480));
  EXPECT_EQ(frame_->geometry().topLeft(), QPoint(stored.left, stored.top));
}

TEST_F(MainFrameTest, ABrokenPlacementKeepsTheDefaultWindow) {
  WindowPlacement broken;
  broken.left = 500;
  broken.right = 100;  // negative width
  ASSERT_TRUE(WriteWindowPlacement(broken));
  Open();
  EXPECT_GE(frame_->width(), 100);
  EXPECT_GE(frame_->height(), 100);
}

TEST_F(MainFrameTest, CommandsWithoutAViewAreDisabledAndTheClocksRun) {
  Open();
  EXPECT_FALSE(frame_->Menu()->Actions(ID_WALKER_START).front()->isEnabled());
  EXPECT_TRUE(frame_->Menu()->Actions(ID_APP_ABOUT).front()->isEnabled());
  EXPECT_FALSE(frame_->LocalClockText().isEmpty());
  EXPECT_NE(frame_->LocalClockText(), QStringLiteral("0"));
  const QDateTime fixed(QDate(2026, 3, 4), QTime(5, 6, 7));
  EXPECT_TRUE(FormatClock(fixed).contains(QStringLiteral("07"))) << FormatClock(fixed).toStdString();
}

TEST_F(MainFrameTest, TheAboutBoxNamesTheProgramAndItsVersion) {
  CDlgAbout about;
  EXPECT_EQ(about.windowTitle(), QStringLiteral("About Tavelo"));
  EXPECT_EQ(CDlgAbout::VersionLine(), QStringLiteral("Tavelo version ") + QStringLiteral(TAVELO_VERSION) + ".0");
  auto* line = about.findChild<QLabel*>(QStringLiteral("VersionLine"));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->text(), CDlgAbout::VersionLine());
}
