// The shared virtual list: batches of rows, clearing, columns, empty text.
#include "gui/MyListView.h"

#include "app/Settings.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TempDir.h"

#include <QEvent>
#include <QIcon>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace {

// A record that counts its own destruction.
struct Counted {
  explicit Counted(int v, int* released) : value(v), m_released(released) {}
  ~Counted() { ++*m_released; }
  int value;
  int* m_released;
};

class CTestList : public CMyListViewOf<Counted> {
 public:
  CTestList() : CMyListViewOf(L"CTestList", kNoWidthSetting) {
    for (int i = 0; i < 3; ++i) InsertColumn(i, QStringLiteral("C%1").arg(i));
  }
  QString CellText(int row, int column) const override {
    return QStringLiteral("%1/%2").arg(Item(row)->value).arg(column);
  }
  QString EmptyText() const override { return empty_text; }
  using CMyListView::SetImages;
  void Fill(int count, int* released) {
    std::vector<Pointer> batch;
    for (int i = 0; i < count; ++i) batch.push_back(std::make_unique<Counted>(RowCount() + i, released));
    AddItems(batch);
  }
  QString empty_text;
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
  int count = 0;
};

class MyListViewTest : public ::testing::Test {
 protected:
  TempHome m_home;
  int m_released = 0;
};

}  // namespace

TEST_F(MyListViewTest, RowsComeInBatchesAndAnswerFromTheRecords) {
  CTestList list;
  int batches = 0;
  QObject::connect(list.ListModel(), &QAbstractItemModel::rowsInserted, [&] { ++batches; });

  list.Fill(500, &m_released);
  list.Fill(250, &m_released);
  EXPECT_EQ(batches, 2);
  ASSERT_EQ(list.ListModel()->rowCount(), 750);
  EXPECT_EQ(list.ListModel()->index(749, 1).data().toString(), "749/1");
  EXPECT_EQ(m_released, 0);
  list.ClearList();
  list.Fill(3, &m_released);
  EXPECT_EQ(m_released, 750);
  EXPECT_EQ(list.ListModel()->index(0, 0).data().toString(), "0/0");
}

TEST_F(MyListViewTest, ClearingTenThousandRowsReleasesEveryRecordAndRepaintsOnce) {
  CTestList list;
  // A scroll bar that disappears would resize the viewport and relayout the
  // header: a paint of its own, not of the clearing.
  list.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list.resize(500, 300);
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  list.Fill(10000, &m_released);
  QTest::qWait(50);

  PaintCounter paints(list.viewport());
  list.ClearList();
  EXPECT_EQ(m_released, 10000);
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_EQ(paints.count, 0) << "painted while clearing";
  ASSERT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }, 2000)) << "no repaint after clearing";
  QTest::qWait(100);
  EXPECT_EQ(paints.count, 1);

  list.ClearList();  // empty already: nothing to release, nothing to paint
  QTest::qWait(50);
  EXPECT_EQ(m_released, 10000);
  EXPECT_EQ(paints.count, 1);
}

TEST_F(MyListViewTest, EmptyListDrawsItsEmptyText) {
  CTestList list;
  list.resize(300, 200);
  const QImage blank = list.viewport()->grab().toImage();
  list.empty_text = QStringLiteral("No value yet");
  const QImage with_text = list.viewport()->grab().toImage();
  EXPECT_NE(blank, with_text);
  list.Fill(1, &m_released);
  list.empty_text.clear();
  const QImage one_row = list.viewport()->grab().toImage();
  list.empty_text = QStringLiteral("No value yet");
  EXPECT_EQ(one_row, list.viewport()->grab().toImage()) << "empty text drawn over rows";
}

// Row images are drawn once when set, not while rows are painted; a file
// that cannot be read is logged and gives no image.
TEST_F(MyListViewTest, ImagesAreDrawnWhenSetAndAMissingOneIsLogged) {
  const std::string drawing = m_home.str("dot.svg");
  {
    std::ofstream out(drawing);
    out << R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16"><circle cx="8" cy="8" r="6" fill="red"/></svg>)";
  }
  LogCapture log;
  CTestList list;
  list.SetImages({QString::fromStdString(drawing), QString::fromStdString(m_home.str("missing.svg"))});
  EXPECT_TRUE(list.Image(0).availableSizes().contains(list.iconSize())) << "not drawn ahead";
  EXPECT_EQ(list.Image(0).pixmap(list.iconSize()).toImage().pixelColor(8, 8), QColor(Qt::red));
  EXPECT_TRUE(list.Image(1).isNull());
  EXPECT_TRUE(log.HasContaining(L"Unable to load the image", QUILLOG_ERROR));
  EXPECT_FALSE(log.HasContaining(L"dot.svg"));
}
