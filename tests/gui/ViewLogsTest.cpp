// The Logger tab fed by real log lines, and the debug parameters dialog.
#include "gui/ViewLogs.h"

#include "gui/DlgDebugParameter.h"
#include "gui/MainFrame.h"
#include "gui/MainMenu.h"
#include "gui/TabbedView.h"
#include "quillog/Quillog.h"
#include "tests/gui/GuiFixture.h"

#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>

#include <unistd.h>

namespace {

// Every feature bit the debug dialog offers, OR-ed.
constexpr uint32_t kAllFeatures = 0x7FF801FFu;

class ViewLogsTest : public GuiTest {
 protected:
  void TearDown() override {
    QuillogSetFeatureLevel(m_old_mask);
    GuiTest::TearDown();
  }
  static bool WaitRows(const CViewLogs& view, int rows) {
    return QTest::qWaitFor([&] { return view.RowCount() >= rows; }, 5000);
  }
  static QString Cell(const CViewLogs& view, int row, int column) {
    return view.ListModel()->index(row, column).data().toString();
  }
  static std::vector<QString> Messages(const CViewLogs& view) {
    std::vector<QString> out;
    for (int row = 0; row < view.RowCount(); ++row) out.push_back(Cell(view, row, CViewLogs::COLUMN_MESSAGE));
    return out;
  }

  uint32_t m_old_mask = QuillogGetFeatureLevel();
};

}  // namespace

TEST_F(ViewLogsTest, TheStoredLogLevelLetsOnlyItsFeaturesThrough) {
  struct Case {
    uint32_t stored;
    std::vector<QString> shown;
  };
  const Case cases[] = {{0, {"plain one", "plain two"}}, {QLF_PROGRAM_SNMP, {"plain one", "snmp trace", "plain two"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL, -1, c.stored));
    QuillogSetFeatureLevel(0xFFFFFFFFu);
    CViewLogs view;
    EXPECT_EQ(QuillogGetFeatureLevel(), c.stored);
    QuillogW(QUILLOG_INFO, 0, L"plain one");
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"gui trace");
    QuillogW(QUILLOG_USER, QLF_PROGRAM_SNMP, L"snmp trace");
    QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, L"frame", "ab", 2, 0);
    QuillogW(QUILLOG_WARNING, 0, L"plain two");
    ASSERT_TRUE(WaitRows(view, static_cast<int>(c.shown.size())));
    QTest::qWait(20);
    EXPECT_EQ(Messages(view), c.shown);
  }
}

TEST_F(ViewLogsTest, CellsShowTheRecordAndEachLevelItsTypeAndImage) {
  CViewLogs view;
  for (int level = 0; level <= 5; ++level) QuillogW(level, 0, L"level %d", level);
  QuillogW(9, 0, L"level nine");
  ASSERT_TRUE(WaitRows(view, 7));

  EXPECT_EQ(Cell(view, 3, CViewLogs::COLUMN_NUMBER), "4");
  EXPECT_EQ(Cell(view, 3, CViewLogs::COLUMN_LEVEL), "0x00000000");
  EXPECT_EQ(Cell(view, 3, CViewLogs::COLUMN_PROCESS_ID), QString::number(::getpid()));
  EXPECT_EQ(Cell(view, 3, CViewLogs::COLUMN_THREAD_ID), QString::number(::gettid()));
  EXPECT_EQ(Cell(view, 3, CViewLogs::COLUMN_MESSAGE), "level 3");
  EXPECT_TRUE(Cell(view, 3, CViewLogs::COLUMN_DATE_TIME).contains(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:)")));

  const QStringList names = {"Info", "User", "Warning", "Error", "Fatal", "Dump"};
  for (int row = 0; row <= 5; ++row) {
    EXPECT_EQ(Cell(view, row, CViewLogs::COLUMN_TYPE), names[row]);
    EXPECT_FALSE(view.ListModel()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().isNull()) << row;
  }
  EXPECT_EQ(Cell(view, 6, CViewLogs::COLUMN_TYPE), "Unknown type");
  EXPECT_FALSE(view.ListModel()->index(6, 0).data(Qt::DecorationRole).isValid());
}

TEST_F(ViewLogsTest, LinesFromManyThreadsArriveAllInEachThreadsOrder) {
  CViewLogs view;
  constexpr int kThreads = 4;
  constexpr int kLines = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) QuillogW(QUILLOG_INFO, 0, L"%d %d", t, i);
    });
  for (std::thread& thread : threads) thread.join();
  ASSERT_TRUE(WaitRows(view, kThreads * kLines)) << view.RowCount() << " rows";
  QTest::qWait(20);
  ASSERT_EQ(view.RowCount(), kThreads * kLines);
  std::vector<int> next(kThreads, 0);
  for (int row = 0; row < view.RowCount(); ++row) {
    const QStringList parts = Cell(view, row, CViewLogs::COLUMN_MESSAGE).split(' ');
    ASSERT_EQ(parts.size(), 2);
    const int t = parts[0].toInt();
    ASSERT_EQ(parts[1].toInt(), next[t]++) << "thread " << t << " out of order at row " << row;
  }
}

TEST_F(ViewLogsTest, DestroyedViewReleasesQueuedLinesAndStopsReceiving) {
  uint64_t handle = 0;
  {
    CViewLogs view;
    handle = view.WindowHandle();
    for (int i = 0; i < 10; ++i) QuillogW(QUILLOG_INFO, 0, L"never shown %d", i);
    EXPECT_EQ(view.PendingCount(), 10u);
  }
  // Lines after the view is gone go nowhere (and leak nothing under ASan).
  QuillogW(QUILLOG_INFO, 0, L"after the view");
  QCoreApplication::processEvents();
  CViewLogs second;
  EXPECT_NE(second.WindowHandle(), handle);
  EXPECT_EQ(second.PendingCount(), 0u);
}

TEST_F(ViewLogsTest, MissingWidthReadsAsFiftyAndIsStoredOnClose) {
  ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, 0, 120));
  ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, 1, 0xFFFFFFF0u));  // damaged
  uint32_t width = 0;
  ASSERT_FALSE(ReadSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, 2, &width));
  {
    CViewLogs view;
    EXPECT_EQ(view.header()->sectionSize(0), 120);
    EXPECT_EQ(view.header()->sectionSize(1), 50);
    EXPECT_EQ(view.header()->sectionSize(2), 50);
    view.header()->resizeSection(0, 140);
  }
  const std::pair<int, uint32_t> stored[] = {{0, 140}, {1, 50}, {2, 50}};
  for (auto [column, expected] : stored) {
    ASSERT_TRUE(ReadSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, column, &width)) << "ColWidth_" << column;
    EXPECT_EQ(width, expected) << "ColWidth_" << column;
  }
}

TEST_F(ViewLogsTest, DialogStoresTheFeaturesOnOkOnly) {
  QuillogSetFeatureLevel(QLF_PROGRAM_SMI | QLF_LIB_ODBC);
  uint32_t stored = 0;
  {
    CDlgDebugParameter dialog;
    ASSERT_EQ(dialog.Configured()->count(), 2);
    QTest::mouseClick(dialog.NoneButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
  }
  EXPECT_EQ(QuillogGetFeatureLevel(), static_cast<uint32_t>(QLF_PROGRAM_SMI | QLF_LIB_ODBC));
  EXPECT_FALSE(ReadSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL, -1, &stored)) << "Cancel wrote the setting";

  // All and OK, opened from the Logger; then None and OK.
  CViewLogs view;
  ModalWatcher<CDlgDebugParameter> watcher([](CDlgDebugParameter& dialog) {
    EXPECT_EQ(dialog.Available()->count(), 21);
    QTest::mouseClick(dialog.AllButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  });
  view.OnCommand(ID_LOGGER_CONFIGURE);
  ASSERT_TRUE(watcher.Seen()) << "the dialog did not open";
  EXPECT_EQ(ReadSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL), kAllFeatures);
  EXPECT_EQ(QuillogGetFeatureLevel(), kAllFeatures);
  CDlgDebugParameter dialog;
  QTest::mouseClick(dialog.NoneButton(), Qt::LeftButton);
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_EQ(StoredDword(SETTING_VIEW_LOGS_LOG_LEVEL), 0u);
  EXPECT_EQ(QuillogGetFeatureLevel(), 0u);
}

TEST_F(ViewLogsTest, LoggerTabOfTheMainWindowShowsAWorkersLineAndTakesItsCommands) {
  CMainFrame frame(m_dispatcher.get());
  ASSERT_TRUE(ShowActive(frame));
  QTest::keyClick(&frame, Qt::Key_5, Qt::ControlModifier);
  auto* view = dynamic_cast<CViewLogs*>(frame.TabbedView()->View(TAB_LOGGER));
  ASSERT_NE(view, nullptr);
  std::thread([] { QuillogW(QUILLOG_WARNING, 0, L"from a worker thread"); }).join();
  ASSERT_TRUE(WaitRows(*view, 1));
  EXPECT_EQ(Messages(*view).back(), "from a worker thread");
  frame.OnCommand(ID_LOGGER_CLEAR);
  EXPECT_EQ(view->RowCount(), 0);
  QuillogW(QUILLOG_INFO, 0, L"after");
  ASSERT_TRUE(WaitRows(*view, 1));
  EXPECT_EQ(Cell(*view, 0, CViewLogs::COLUMN_NUMBER), "1") << "the numbering restarts";
}
