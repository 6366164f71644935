#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>

TEST(GuiResources, ProgramIconLoads) {
  QIcon icon(QStringLiteral(":/images/tavelo.svg"));
  ASSERT_FALSE(icon.isNull());
  EXPECT_FALSE(icon.pixmap(32, 32).isNull());
}
