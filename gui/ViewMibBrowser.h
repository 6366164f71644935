// CViewMibBrowser: the Browser tab. A splitter with, on the left, a search
// field over the tree of the loaded MIB modules and, on the right, the
// definition of the selected object. It takes the Browser's commands.
#pragma once

#include "app/MessageCenter.h"
#include "gui/CommandTarget.h"

#include <QWidget>

class CViewMibBrowserLeft;
class CViewMibBrowserRight;
class CSmiTree;
class QLineEdit;
class QListWidget;
class QSplitter;

class CViewMibBrowser : public QWidget, public CCommandTarget {
  Q_OBJECT

 public:
  explicit CViewMibBrowser(CViewDispatcher* dispatcher, CSmiTree& tree, QWidget* parent = nullptr);
  explicit CViewMibBrowser(CViewDispatcher* dispatcher, QWidget* parent = nullptr);
  ~CViewMibBrowser() override;

  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t command) const override;

  CViewMibBrowserLeft* Left() const { return m_left; }
  CViewMibBrowserRight* Right() const { return m_right; }
  QLineEdit* SearchField() const { return m_search; }
  QListWidget* Matches() const { return m_matches; }

  // Runs the search of the field's text; the matches list shows them.
  void Search(const QString& text);
  // Selects and reveals the node of a row of the matches list.
  void ChooseMatch(int row);

 private:
  QSplitter* m_splitter;
  CViewMibBrowserLeft* m_left;
  CViewMibBrowserRight* m_right;
  QLineEdit* m_search;
  QListWidget* m_matches;
};
