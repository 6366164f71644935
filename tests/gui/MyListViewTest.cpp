// The shared virtual list: batches of rows and clearing.
#include "gui/MyListView.h"

#include "app/Settings.h"
#include "tests/common/TempDir.h"

#include <QEvent>
#include <QTest>
#include <gtest/gtest.h>

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
  void Fill(int count, int* released) {
    std::vector<Pointer> batch;
    for (int i = 0; i < count; ++i) batch.push_back(std::make_unique<Counted>(RowCount() + i, released));
    AddItems(batch);
  }
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

}  // namespace

TEST(MyListViewTest, RowsComeInBatchesAndClearingTenThousandReleasesEveryRecordAndRepaintsOnce) {
  TempHome home;
  int released = 0;
  CTestList list;
  int batches = 0;
  QObject::connect(list.ListModel(), &QAbstractItemModel::rowsInserted, [&] { ++batches; });
  // A scroll bar that disappears would resize the viewport: a paint of its own.
  list.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list.resize(500, 300);
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  list.Fill(9000, &released);
  list.Fill(1000, &released);
  EXPECT_EQ(batches, 2);
  EXPECT_EQ(list.ListModel()->index(9999, 1).data().toString(), "9999/1");
  QTest::qWait(50);

  PaintCounter paints(list.viewport());
  list.ClearList();
  EXPECT_EQ(released, 10000);
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_EQ(paints.count, 0) << "painted while clearing";
  ASSERT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }, 2000)) << "no repaint after clearing";
  QTest::qWait(100);
  EXPECT_EQ(paints.count, 1);

  list.ClearList();  // empty already: nothing to release, nothing to paint
  QTest::qWait(50);
  EXPECT_EQ(released, 10000);
  EXPECT_EQ(paints.count, 1);
  list.Fill(3, &released);
  EXPECT_EQ(list.ListModel()->index(0, 0).data().toString(), "0/0");
}
