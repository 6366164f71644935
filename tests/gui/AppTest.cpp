#include "app/ShowMessage.h"
#include "gui/GuiShowMessage.h"
#include "gui/MainFrame.h"
#include "gui/MyHyperLink.h"
#include "gui/TaveloApp.h"
#include "quillog/Quillog.h"
#include "tests/gui/GuiFixture.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QSignalSpy>

#include <filesystem>

TEST(TaveloAppTest, StartsWithItsWindowAndDispatcherAndLeavesNothingBehind) {
  TempHome home;
  CShowMessage* before = GetShowMessage();
  {
    CTaveloApp app;
    EXPECT_EQ(std::filesystem::path(QuillogFilePath()).parent_path(), home.path() / "state" / "tavelo" / "log");
    EXPECT_EQ(QuillogGetFeatureLevel(), 0u);
    ASSERT_TRUE(app.InitInstance());
    ASSERT_NE(app.MainFrame(), nullptr);
    EXPECT_TRUE(app.MainFrame()->isVisible());
    EXPECT_EQ(GetShowMessage(), app.ShowMessage());
    EXPECT_GT(CMessageCenter::Count(), 0u);
    app.MainFrame()->close();
    app.ExitInstance();
    EXPECT_EQ(app.MainFrame(), nullptr);
    EXPECT_EQ(CMessageCenter::Count(), 0u);
    EXPECT_EQ(GetShowMessage(), before);
  }
  WindowPlacement placement;
  EXPECT_TRUE(ReadWindowPlacement(&placement));
  QuillogFileSetFolderNameW(nullptr);
}

// Receives the URLs the desktop would open.
class UrlSink : public QObject {
  Q_OBJECT

 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }

 public:
  std::vector<QUrl> opened;
};

TEST(MyHyperLinkTest, AClickOpensTheTargetWithTheDesktop) {
  UrlSink sink;
  QDesktopServices::setUrlHandler(QStringLiteral("tavelo-test"), &sink, "Open");
  const QUrl target(QStringLiteral("tavelo-test://check?Version=0.1"));
  CMyHyperLink link(QStringLiteral("Check for a new version"), target);
  link.resize(200, 20);
  link.show();
  QSignalSpy clicked(&link, &CMyHyperLink::clicked);
  QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseClick(&link, Qt::RightButton, {}, QPoint(5, 5));
  QDesktopServices::unsetUrlHandler(QStringLiteral("tavelo-test"));
  EXPECT_EQ(clicked.count(), 1);
  ASSERT_EQ(sink.opened.size(), 1u);
  EXPECT_EQ(sink.opened.front(), target);
}

#include "AppTest.moc"
