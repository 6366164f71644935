#include "gui/MainMenu.h"
#include "gui/MyMenu.h"
#include "tests/common/LogCapture.h"
#include "tests/gui/GuiFixture.h"

#include <QMenuBar>

#include <map>

namespace {

QStringList Texts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* action : actions) out << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return out;
}

QMenu* SubMenu(const QList<QAction*>& actions, const QString& title) {
  for (QAction* action : actions)
    if (action->text() == title) return action->menu();
  return nullptr;
}

}  // namespace

// One command may sit in two pop-ups (Walker and Trapper "MIB" / "Edit").
TEST(MenuTest, TheMainMenuIsBuiltFromItsDescription) {
  QMenuBar bar;
  CMyMenu menu;
  ASSERT_TRUE(menu.BuildMenuBar(MainMenuDescription(), &bar));
  QMenu* program = SubMenu(bar.actions(), "Program");
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(Texts(program->actions()), (QStringList{"Tool bar", "Status bar", "-", "About...\tF1", "Exit\tAlt+F4"}));
  EXPECT_EQ(menu.Actions(ID_MIB_EDIT).size(), 2u);
}

TEST(MenuTest, TextsComeFromTheStringBeforeItsLineFeed) {
  const std::map<uint32_t, std::wstring> strings = {
      {1, L"Top\n"}, {2, L"Whole text"}, {3, L"\nonly a prompt"}, {4, L"Item\tCtrl+Q\nThe prompt"}};
  auto table = [&](uint32_t id) {
    auto it = strings.find(id);
    return it == strings.end() ? std::wstring() : it->second;
  };
  const MenuEntry items[] = {{MENU_ITEM | 2, 0, nullptr},
                             {MENU_ITEM | 3, 0, nullptr},
                             {MENU_ITEM | 4, 0, nullptr},
                             {MENU_ITEM | 9, 0, nullptr},
                             {MENU_END, 0, nullptr}};
  const MenuEntry top[] = {{MENU_POPUP | 1, 0, items}, {MENU_END, 0, nullptr}};

  LogCapture log;
  QMenuBar bar;
  CMyMenu menu(nullptr, table);
  ASSERT_TRUE(menu.BuildMenuBar(top, &bar));
  ASSERT_NE(SubMenu(bar.actions(), "Top"), nullptr);
  EXPECT_EQ(Texts(SubMenu(bar.actions(), "Top")->actions()), (QStringList{"Whole text", "", "Item\tCtrl+Q", ""}));
  EXPECT_FALSE(log.Has(L"The resource string 2 has no \\n separator for menu string"));
  EXPECT_TRUE(log.Has(L"The resource string 3 has no \\n separator for menu string", QUILLOG_ERROR));
  EXPECT_TRUE(log.Has(L"The resource string 9 has no \\n separator for menu string", QUILLOG_ERROR));
  EXPECT_EQ(menu.Actions(4).front()->statusTip(), QStringLiteral("The prompt"));
}
