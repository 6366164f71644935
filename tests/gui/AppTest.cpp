#include "app/ShowMessage.h"
#include "gui/GuiShowMessage.h"
#include "gui/MainFrame.h"
#include "gui/TaveloApp.h"
#include "quillog/Quillog.h"
#include "tests/gui/GuiFixture.h"

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
  QuillogFileSetFolderNameW(nullptr);
}
