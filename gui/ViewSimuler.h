// CFrameSimuler: the Simuler tab. The library tree on the left; on the
// right the selected simulator's settings above its values. The splitter
// positions come from ViewSimuler / SplitterX, SplitterY1 and SplitterY2
// and go back there when the frame is destroyed.
#pragma once

#include "app/MessageCenter.h"
#include "gui/CommandTarget.h"

#include <QSplitter>

class CViewSimulerLeft;
class CViewSimulerSummary;
class CViewSimulerValue;

class CFrameSimuler : public QSplitter, public CCommandTarget {
 public:
  explicit CFrameSimuler(CViewDispatcher* dispatcher, QWidget* parent = nullptr);
  ~CFrameSimuler() override;

  // The tree takes the Folder and Simulator commands, the value list the rest.
  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t command) const override;

  CViewSimulerLeft* Left() const { return m_left; }
  CViewSimulerSummary* Summary() const { return m_summary; }
  CViewSimulerValue* Values() const { return m_values; }
  QSplitter* RightSplitter() const { return m_right; }

 private:
  void _store_splitters() const;

  CViewSimulerLeft* m_left;
  QSplitter* m_right;
  CViewSimulerSummary* m_summary;
  CViewSimulerValue* m_values;
};
