#include "gui/MainFrame.h"

#include "gui/MainMenu.h"
#include "gui/MyMenu.h"
#include "gui/TabbedView.h"
#include "gui/ViewPlaceholder.h"
#include "tests/gui/GuiFixture.h"

#include <QLayout>
#include <QStatusBar>
#include <QToolBar>

class MainFrameTest : public GuiTest {
 protected:
  void TearDown() override {
    m_frame.reset();
    GuiTest::TearDown();
  }
  CMainFrame* Open() {
    m_frame = std::make_unique<CMainFrame>(m_dispatcher.get());
    return m_frame.get();
  }
  QAction* Item(uint32_t command) { return m_frame->Menu()->Actions(command).front(); }
  CViewPlaceholder* Placeholder(int tab) { return qobject_cast<CViewPlaceholder*>(m_frame->TabbedView()->View(tab)); }
  // What every placeholder received (tools with their real view have none).
  std::vector<uint32_t> AllReceived() {
    std::vector<uint32_t> all;
    for (int tab = 0; tab < TAB_COUNT; ++tab)
      if (const CViewPlaceholder* placeholder = Placeholder(tab))
        all.insert(all.end(), placeholder->Received().begin(), placeholder->Received().end());
    return all;
  }

  std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(MainFrameTest, StartsFromTheStoredSettings) {
  struct Case {
    const char* name;
    std::vector<std::pair<uint32_t, uint32_t>> stored;
    int tab;
    QTabWidget::TabPosition position;
    int border;
  };
  const Case cases[] = {
      {"LastView 7 is out of range", {{SETTING_MAINFRAME_LAST_VIEW, 7}}, TAB_BROWSER, QTabWidget::North, 10},
      {"tabs at the bottom, border 3",
       {{SETTING_MAINFRAME_LAST_VIEW, 4}, {SETTING_MAINFRAME_TAB_POSITION, 0}, {SETTING_MAINFRAME_BORDER_SIZE, 3}},
       TAB_LOGGER,
       QTabWidget::South,
       3},
      {"tab position 9 is out of range", {{SETTING_MAINFRAME_TAB_POSITION, 9}}, TAB_BROWSER, QTabWidget::North, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_frame.reset();
    m_home = std::make_unique<TempHome>();
    for (auto [setting, value] : c.stored) ASSERT_TRUE(WriteSettingDword(setting, -1, value));
    Open();
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Tavelo"));
    ASSERT_EQ(m_frame->TabbedView()->count(), 5);
    EXPECT_EQ(m_frame->TabbedView()->tabText(TAB_SIMULER), "Simuler");
    EXPECT_EQ(m_frame->TabbedView()->currentIndex(), c.tab);
    EXPECT_EQ(m_frame->TabbedView()->tabPosition(), c.position);
    EXPECT_EQ(m_frame->TabbedView()->widget(0)->layout()->contentsMargins(),
              QMargins(c.border, c.border, c.border, c.border));
  }
  // A command of a tab that is not shown is off.
  EXPECT_FALSE(Item(ID_WALKER_START)->isEnabled());
  EXPECT_TRUE(Item(ID_APP_ABOUT)->isEnabled());
}

TEST_F(MainFrameTest, AHiddenToolBarStartsUncheckedAndIsStoredHiddenAgain) {
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_TOOL_BAR, -1, 0));
  Open()->show();
  EXPECT_FALSE(m_frame->ToolBar()->isVisible());
  EXPECT_FALSE(Item(ID_VIEW_TOOLBAR)->isChecked());
  EXPECT_TRUE(m_frame->statusBar()->isVisible());
  EXPECT_TRUE(Item(ID_VIEW_STATUS_BAR)->isChecked());
  ASSERT_TRUE(m_frame->close());
  EXPECT_EQ(StoredDword(SETTING_MAINFRAME_TOOL_BAR), 0u);
  EXPECT_EQ(StoredDword(SETTING_MAINFRAME_STATUS_BAR), 1u);

  // The toggle flips the bar and its check mark, and closing keeps it.
  Open()->show();
  Item(ID_VIEW_TOOLBAR)->trigger();
  EXPECT_TRUE(m_frame->ToolBar()->isVisible());
  EXPECT_TRUE(Item(ID_VIEW_TOOLBAR)->isChecked());
  ASSERT_TRUE(m_frame->close());
  EXPECT_EQ(StoredDword(SETTING_MAINFRAME_TOOL_BAR), 1u);
}

TEST_F(MainFrameTest, ChooserPostsAndControlDigitsChooseTabsAndWalkerKeysReachNoOtherTab) {
  ASSERT_TRUE(ShowActive(*Open())) << "the main window never became active";
  CTabbedView* tabs = m_frame->TabbedView();
  const std::pair<Qt::Key, int> keys[] = {{Qt::Key_5, TAB_LOGGER}, {Qt::Key_2, TAB_WALKER}, {Qt::Key_1, TAB_BROWSER}};
  for (auto [key, tab] : keys) {
    QTest::keyClick(m_frame.get(), key, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentIndex(), tab);
    EXPECT_EQ(StoredDword(SETTING_MAINFRAME_LAST_VIEW), static_cast<uint32_t>(tab));
  }
  // A chooser message posted by a worker brings Simuler to the front.
  ASSERT_EQ(tabs->currentIndex(), TAB_BROWSER);
  size_t queued = 0;
  std::thread([&] {
    PostViewMessage(L"CViewWalker", MSG_VIEW_CHOOSER, MSG_VIEW_CHOOSER_DISPLAY_SIMULER, 0, &queued);
  }).join();
  EXPECT_EQ(queued, 1u);
  ASSERT_TRUE(ProcessUntil([&] { return tabs->currentIndex() == TAB_SIMULER; })) << "the chooser post was not handled";
  EXPECT_EQ(StoredDword(SETTING_MAINFRAME_LAST_VIEW), 3u);
  // Keypad keys and tool commands on the Walker tab reach no other tab.
  tabs->ActivateTab(TAB_WALKER);
  QTest::keyClick(m_frame.get(), Qt::Key_Plus, Qt::KeypadModifier);
  QTest::keyClick(m_frame.get(), Qt::Key_Minus, Qt::KeypadModifier);
  QTest::keyClick(m_frame.get(), Qt::Key_G, Qt::ControlModifier);
  EXPECT_TRUE(AllReceived().empty()) << "a key on the Walker tab reached another view";
}

TEST_F(MainFrameTest, PlacementIsStoredOnCloseAndABrokenOneKeepsTheDefaultWindow) {
  Open()->setGeometry(40, 50, 640, 480);
  m_frame->show();
  ASSERT_TRUE(m_frame->close());
  WindowPlacement stored;
  ASSERT_TRUE(ReadWindowPlacement(&stored));
  EXPECT_EQ(stored.length, 44u);
  EXPECT_EQ(stored.show_cmd, 1u);
  Open();
  EXPECT_EQ(m_frame->geometry().size(), QSize(640, 480));
  EXPECT_EQ(m_frame->geometry().topLeft(), QPoint(stored.left, stored.top));

  m_frame.reset();
  WindowPlacement broken;
  broken.left = 500;
  broken.right = 100;  // negative width
  ASSERT_TRUE(WriteWindowPlacement(broken));
  Open();
  EXPECT_GE(m_frame->width(), 100);
  EXPECT_GE(m_frame->height(), 100);
}
