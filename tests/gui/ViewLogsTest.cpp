// The Logger tab fed by real log lines, and the debug parameters dialog.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include "app/MessageCenter.h"
#include "app/Settings.h"
#include "gui/DlgDebugParameter.h"
#include "gui/MainFrame.h"
#include "gui/QtDispatcher.h"
#include "gui/TabbedView.h"
#include "gui/MainMenu.h"
#include "gui/ViewLogs.h"
#include "quillog/Quillog.h"
#include "tests/common/TempDir.h"

namespace {

// Every feature bit the debug dialog offers, OR-ed.
constexpr uint32_t kAllFeatures = 0x7FF801FFu;

class ViewLogsTest : public ::testing::Test {
 protected:
  void TearDown() override { QuillogSetFeatureLevel(old_mask_); }

  // Waits (with a bound) until the view shows `rows` rows.
  static bool WaitRows(const CViewLogs& view, int rows, int timeout_ms = 5000) {
    return QTest::qWaitFor([&] { return view.RowCount() >= rows; }, timeout_ms);
  }
  static QString Cell(const CViewLogs& view, int row, int column) {
    return view.ListModel()->index(row, column).data().toString();
  }
  static std::vector<QString> Messages(const CViewLogs& view) {
    std::vector<QString> out;
    for (int row = 0; row < view.RowCount(); ++row) out.push_back(Cell(view, row, CViewLogs::COLUMN_MESSAGE));
    return out;
  }

  // Runs `act` on the modal debug dialog that `open` shows; rejects it
  // after a bound if `act` never closed it.
  static void WithDialog(const std::function<void()>& open, const std::function<void(CDlgDebugParameter&)>& act) {
    bool acted = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = dynamic_cast<CDlgDebugParameter*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      acted = true;
      act(*dialog);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) static_cast<QDialog*>(modal)->reject();
    });
    guard.start(5000);
    open();
    EXPECT_TRUE(acted) << "the dialog did not open";
  }

  TempHome home_;
  uint32_t old_mask_ = QuillogGetFeatureLevel();
};

}  // namespace

TEST_F(ViewLogsTest, LogLevelZeroShowsOnlyFeatureZeroLines) {
  ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL, -1, 0));
  QuillogSetFeatureLevel(0xFFFFFFFFu);
  CViewLogs view;
  EXPECT_EQ(QuillogGetFeatureLevel(), 0u);

  QuillogW(QUILLOG_INFO, 0, L"plain one");
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"gui trace");
  QuillogW(QUILLOG_ERROR, QLF_PROGRAM_SNMP | QLF_LIB_SOCKET, L"snmp trace");
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, L"frame", "ab", 2, 0);
  QuillogW(QUILLOG_WARNING, 0, L"plain two");
  ASSERT_TRUE(WaitRows(view, 2));
  QTest::qWait(20);
  EXPECT_EQ(Messages(view), (std::vector<QString>{"plain one", "plain two"}));
}

TEST_F(ViewLogsTest, SavedMaskLetsItsFeaturesThrough) {
  ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL, -1, QLF_PROGRAM_SNMP));
  CViewLogs view;
  EXPECT_EQ(QuillogGetFeatureLevel(), static_cast<uint32_t>(QLF_PROGRAM_SNMP));
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"gui trace");
  QuillogW(QUILLOG_USER, QLF_PROGRAM_SNMP, L"snmp trace");
  ASSERT_TRUE(WaitRows(view, 1));
  QTest::qWait(20);
  EXPECT_EQ(Messages(view), (std::vector<QString>{"snmp trace"}));
  EXPECT_EQ(Cell(view, 0, CViewLogs::COLUMN_LEVEL), "0x00800000");
}

TEST_F(ViewLogsTest, CellsShowTheRecord) {
  CViewLogs view;
  QAbstractItemModelTester tester(view.ListModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  QuillogW(QUILLOG_INFO, 0, L"first");
  QuillogW(QUILLOG_ERROR, 0, L"second %d", 42);
  ASSERT_TRUE(WaitRows(view, 2));

  const QStringList headers = {"#", "Process", "Type", "Level", "Date & Time", "Process ID", "Thread ID", "Message"};
  for (int i = 0; i < headers.size(); ++i)
    EXPECT_EQ(view.ListModel()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString(), headers[i]);
  EXPECT_EQ(Cell(view, 1, CViewLogs::COLUMN_NUMBER), "2");
  EXPECT_EQ(Cell(view, 1, CViewLogs::COLUMN_TYPE), "Error");
  EXPECT_EQ(Cell(view, 1, CViewLogs::COLUMN_LEVEL), "0x00000000");
  EXPECT_EQ(Cell(view, 1, CViewLogs::COLUMN_PROCESS_ID), QString::number(::getpid()));
  EXPECT_EQ(Cell(view, 1, CViewLogs::COLUMN_THREAD_ID), QString::number(::gettid()));
  EXPECT_EQ(Cell(view, 1, CViewLogs::COLUMN_MESSAGE), "second 42");
  EXPECT_FALSE(Cell(view, 1, CViewLogs::COLUMN_PROCESS).isEmpty());
  EXPECT_TRUE(Cell(view, 1, CViewLogs::COLUMN_DATE_TIME).contains(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:)")));
  // Rows alternate the two list backgrounds.
  EXPECT_EQ(view.ListModel()->index(0, 3).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(225, 255, 225));
  EXPECT_EQ(view.ListModel()->index(1, 3).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(196, 255, 196));
}

TEST_F(ViewLogsTest, EachLevelHasItsOwnImageAndAnUnknownLevelHasNone) {
  CViewLogs view;
  for (int level = 0; level <= 5; ++level) QuillogW(level, 0, L"level %d", level);
  QuillogW(9, 0, L"level nine");
  ASSERT_TRUE(WaitRows(view, 7));

  const QStringList names = {"Info", "User", "Warning", "Error", "Fatal", "Dump"};
  std::vector<QImage> images;
  for (int row = 0; row <= 5; ++row) {
    EXPECT_EQ(Cell(view, row, CViewLogs::COLUMN_TYPE), names[row]);
    const QIcon icon = view.ListModel()->index(row, 0).data(Qt::DecorationRole).value<QIcon>();
    ASSERT_FALSE(icon.isNull()) << "no image for level " << row;
    images.push_back(icon.pixmap(16, 16).toImage());
    for (int other = 0; other < row; ++other) EXPECT_NE(images[other], images[row]) << other << " and " << row;
  }
  EXPECT_EQ(Cell(view, 6, CViewLogs::COLUMN_TYPE), "Unknown type");
  EXPECT_FALSE(view.ListModel()->index(6, 0).data(Qt::DecorationRole).isValid());
}

TEST_F(ViewLogsTest, ADumpShowsOnOneLineAndWholeInItsToolTip) {
  ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL, -1, QLF_PROGRAM_SNMP_FRAME_IN));
  CViewLogs view;
  const unsigned char bytes[20] = {0x30, 0x26, 0x02, 0x01, 0x01, 0x04, 0x06, 't', 'u', 'm', 'b', 'o', 'l'};
  QuillogDumpW(QLF_PROGRAM_SNMP_FRAME_IN, L"Received frame", bytes, sizeof(bytes), 0);
  ASSERT_TRUE(WaitRows(view, 1));
  EXPECT_EQ(Cell(view, 0, CViewLogs::COLUMN_TYPE), "Dump");
  const QString shown = Cell(view, 0, CViewLogs::COLUMN_MESSAGE);
  EXPECT_FALSE(shown.contains('\n'));
  EXPECT_TRUE(shown.startsWith("Received frame (20 bytes)")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("0010  00 00 00 00")) << "second row of the dump";
  const QString tip = view.ListModel()->index(0, CViewLogs::COLUMN_MESSAGE).data(Qt::ToolTipRole).toString();
  EXPECT_TRUE(tip.contains("\n0010 ")) << tip.toStdString();
  EXPECT_FALSE(view.ListModel()->index(0, CViewLogs::COLUMN_TYPE).data(Qt::ToolTipRole).isValid());
}

TEST_F(ViewLogsTest, LinesFromManyThreadsArriveAllInEachThreadsOrder) {
  CViewLogs view;
  constexpr int kThreads = 4;
  constexpr int kLines = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) QuillogW(QUILLOG_INFO, 0, L"%d %d", t, i);
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_TRUE(WaitRows(view, kThreads * kLines)) << view.RowCount() << " rows";
  QTest::qWait(20);
  ASSERT_EQ(view.RowCount(), kThreads * kLines);

  std::vector<int> next(kThreads, 0);
  std::set<QString> thread_ids;
  for (int row = 0; row < view.RowCount(); ++row) {
    const QStringList parts = Cell(view, row, CViewLogs::COLUMN_MESSAGE).split(' ');
    ASSERT_EQ(parts.size(), 2);
    const int t = parts[0].toInt();
    ASSERT_EQ(parts[1].toInt(), next[t]) << "thread " << t << " out of order at row " << row;
    ++next[t];
    thread_ids.insert(Cell(view, row, CViewLogs::COLUMN_THREAD_ID));
  }
  EXPECT_EQ(thread_ids.size(), static_cast<size_t>(kThreads));
}

TEST_F(ViewLogsTest, ClearEmptiesTheListAndNumberingStartsAgain) {
  CViewLogs view;
  QAbstractItemModelTester tester(view.ListModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  for (int i = 0; i < 50; ++i) QuillogW(QUILLOG_INFO, 0, L"before %d", i);
  ASSERT_TRUE(WaitRows(view, 50));
  EXPECT_TRUE(view.IsCommandEnabled(ID_LOGGER_CLEAR));
  EXPECT_TRUE(view.OnCommand(ID_LOGGER_CLEAR));
  EXPECT_FALSE(view.IsCommandEnabled(ID_LOGGER_CLEAR));
  EXPECT_EQ(view.RowCount(), 0);
  QuillogW(QUILLOG_INFO, 0, L"after");
  ASSERT_TRUE(WaitRows(view, 1));
  EXPECT_EQ(Cell(view, 0, CViewLogs::COLUMN_NUMBER), "1");
  EXPECT_EQ(Cell(view, 0, CViewLogs::COLUMN_MESSAGE), "after");
  EXPECT_FALSE(view.OnCommand(12345));
}

TEST_F(ViewLogsTest, DestroyedViewReleasesQueuedLinesAndStopsReceiving) {
  uint64_t handle = 0;
  {
    CViewLogs view;
    handle = view.WindowHandle();
    for (int i = 0; i < 10; ++i) QuillogW(QUILLOG_INFO, 0, L"never shown %d", i);
    EXPECT_EQ(view.PendingCount(), 10u);
  }
  // Lines after the view is gone go nowhere (and leak nothing: see the ASan run).
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
  ASSERT_TRUE(ReadSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, 2, &width)) << "ColWidth_2 not written on close";
  EXPECT_EQ(width, 50u);
  ASSERT_TRUE(ReadSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, 0, &width));
  EXPECT_EQ(width, 140u);
  ASSERT_TRUE(ReadSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, 1, &width));
  EXPECT_EQ(width, 50u);
}

TEST_F(ViewLogsTest, AllAndOkStoresEveryFeature) {
  CViewLogs view;
  WithDialog([&] { view.OnCommand(ID_LOGGER_CONFIGURE); },
             [](CDlgDebugParameter& dialog) {
               EXPECT_EQ(dialog.windowTitle(), "Debug parameters");
               EXPECT_EQ(dialog.Available()->count(), 21);
               EXPECT_EQ(dialog.Configured()->count(), 0);
               QTest::mouseClick(dialog.AllButton(), Qt::LeftButton);
               QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
             });
  EXPECT_EQ(ReadSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL), kAllFeatures);
  EXPECT_EQ(QuillogGetFeatureLevel(), kAllFeatures);
}

TEST_F(ViewLogsTest, NoneAndOkStoresZeroAndCancelChangesNothing) {
  QuillogSetFeatureLevel(QLF_PROGRAM_SMI | QLF_LIB_ODBC);
  {
    CDlgDebugParameter dialog;
    ASSERT_EQ(dialog.Configured()->count(), 2);
    EXPECT_EQ(dialog.Configured()->item(0)->text(), "Lib ODBC");
    EXPECT_EQ(dialog.Configured()->item(1)->text(), "Program SMI");
    QTest::mouseClick(dialog.NoneButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.Available()->count(), 21);
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
  }
  EXPECT_EQ(QuillogGetFeatureLevel(), static_cast<uint32_t>(QLF_PROGRAM_SMI | QLF_LIB_ODBC));
  uint32_t stored = 0;
  EXPECT_FALSE(ReadSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL, -1, &stored)) << "Cancel wrote the setting";

  CDlgDebugParameter dialog;
  QTest::mouseClick(dialog.NoneButton(), Qt::LeftButton);
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_TRUE(ReadSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL, -1, &stored));
  EXPECT_EQ(stored, 0u);
  EXPECT_EQ(QuillogGetFeatureLevel(), 0u);
}

TEST_F(ViewLogsTest, MovingFeaturesKeepsTheirOrderAndButtonsFollowTheLists) {
  QuillogSetFeatureLevel(0);
  CDlgDebugParameter dialog;
  QListWidget* available = dialog.Available();
  EXPECT_FALSE(dialog.AddButton()->isEnabled());
  EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
  EXPECT_TRUE(dialog.AllButton()->isEnabled());
  EXPECT_FALSE(dialog.NoneButton()->isEnabled());

  available->item(20)->setSelected(true);  // "Program Yacc aux"
  available->item(0)->setSelected(true);   // "Lib ODBC"
  EXPECT_TRUE(dialog.AddButton()->isEnabled());
  QTest::mouseClick(dialog.AddButton(), Qt::LeftButton);
  ASSERT_EQ(dialog.Configured()->count(), 2);
  EXPECT_EQ(dialog.Configured()->item(0)->text(), "Lib ODBC");
  EXPECT_EQ(dialog.Configured()->item(1)->text(), "Program Yacc aux");
  EXPECT_FALSE(dialog.AddButton()->isEnabled());
  EXPECT_TRUE(dialog.NoneButton()->isEnabled());

  // A double click moves an item back to its place.
  QListWidget* configured = dialog.Configured();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const QRect cell = configured->visualItemRect(configured->item(0));
  QTest::mouseClick(configured->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(configured->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(configured->count(), 1);
  EXPECT_EQ(available->item(0)->text(), "Lib ODBC");
  EXPECT_EQ(dialog.ConfiguredMask(), static_cast<uint32_t>(QLF_PROGRAM_YACC_AUX));

  QTest::mouseClick(dialog.AllButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog.AllButton()->isEnabled());
  EXPECT_EQ(dialog.ConfiguredMask(), kAllFeatures);
  EXPECT_EQ(configured->item(5)->text(), "Lib Socket");
  EXPECT_EQ(configured->item(6)->text(), "Lib Socket TCP");
}

TEST_F(ViewLogsTest, DrawnRowsShowTheirBackgroundsAndImages) {
  CViewLogs view;
  view.resize(900, 260);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  const int levels[] = {QUILLOG_INFO, QUILLOG_USER, QUILLOG_WARNING, QUILLOG_ERROR, QUILLOG_FATAL, QUILLOG_DUMP, 9};
  for (int level : levels)
    QuillogW(level, 0, L"CViewLogs sample line at level %d (%s)", level, QuillogLevelName(level));
  ASSERT_TRUE(WaitRows(view, 7));
  view.header()->resizeSection(CViewLogs::COLUMN_DATE_TIME, 170);
  QTest::qWait(50);

  const QImage shot = view.grab().toImage();
  if (const char* folder = std::getenv("TAVELO_GRAB_DIR")) shot.save(QString::fromUtf8(folder) + "/logger-view.png");
  const QRect first = view.visualRect(view.ListModel()->index(0, CViewLogs::COLUMN_MESSAGE));
  const QRect second = view.visualRect(view.ListModel()->index(1, CViewLogs::COLUMN_MESSAGE));
  const QPoint offset = view.viewport()->mapTo(&view, QPoint(0, 0));
  // Sample right of the text, where only the background is drawn.
  auto background = [&](const QRect& cell) {
    return shot.pixelColor(offset + QPoint(cell.right() - 4, cell.center().y()));
  };
  EXPECT_EQ(background(first), QColor(225, 255, 225));
  EXPECT_EQ(background(second), QColor(196, 255, 196));
}

TEST_F(ViewLogsTest, ContextMenuIsTheLoggerMenu) {
  CViewLogs view;
  view.resize(600, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QuillogW(QUILLOG_INFO, 0, L"to be cleared");
  ASSERT_TRUE(WaitRows(view, 1));

  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 40), view.mapToGlobal(QPoint(20, 40)));
  QApplication::sendEvent(view.viewport(), &event);
  QMenu* menu = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr;
      },
      2000))
      << "no context menu";
  QStringList texts;
  QAction* clear = nullptr;
  for (QAction* action : menu->actions()) {
    texts << action->text();
    if (action->text() == "Clear") clear = action;
  }
  EXPECT_EQ(texts, (QStringList{"Configure", "Clear"}));
  ASSERT_NE(clear, nullptr);
  EXPECT_TRUE(clear->isEnabled());
  clear->trigger();
  menu->close();
  EXPECT_EQ(view.RowCount(), 0);
}

// The Logger tab of the main window: Ctrl+5 shows it, lines arrive live and
// the "Logger" menu's commands reach it.
TEST_F(ViewLogsTest, LoggerTabOfTheMainWindowShowsLinesAndTakesItsCommands) {
  CQtDispatcher dispatcher;
  {
    CMainFrame frame(&dispatcher);
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame, 5000));
    QTest::keyClick(&frame, Qt::Key_5, Qt::ControlModifier);
    ASSERT_EQ(frame.TabbedView()->currentIndex(), TAB_LOGGER);
    auto* view = dynamic_cast<CViewLogs*>(frame.TabbedView()->View(TAB_LOGGER));
    ASSERT_NE(view, nullptr);

    std::thread worker([] { QuillogW(QUILLOG_WARNING, 0, L"from a worker thread"); });
    worker.join();
    ASSERT_TRUE(WaitRows(*view, 1));
    EXPECT_EQ(Messages(*view).back(), "from a worker thread");

    frame.OnCommand(ID_LOGGER_CLEAR);
    EXPECT_EQ(view->RowCount(), 0);
  }
  dispatcher.Quit();
  CMessageCenter::Clear();
}
