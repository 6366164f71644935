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

  CViewSimulerLeft* Left() const { return left_; }
  CViewSimulerSummary* Summary() const { return summary_; }
  CViewSimulerValue* Values() const { return values_; }
  QSplitter* RightSplitter() const { return right_; }

 private:
  void _store_splitters() const;

  CViewSimulerLeft* left_;
  QSplitter* right_;
  CViewSimulerSummary* summary_;
  CViewSimulerValue* values_;
};
