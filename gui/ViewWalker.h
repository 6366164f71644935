// CViewWalker: the Walker tab. Lists the variables a walk, a Get or a Set
// returned from an agent.
//
// The walk worker keeps the variables it finds in its outbox and posts a
// note with the walk's number; the view takes the whole outbox as one batch
// of rows at most every kRowBatchMs, so the worker never waits for a row
// insertion or a repaint. A note of a walk the list no longer shows (an
// earlier walk, or one cleared away) is dropped. Get and Set still send
// their one variable.
#pragma once

#include "app/MessageCenter.h"
#include "gui/CommandTarget.h"
#include "gui/MyListView.h"
#include "workers/ThreadActionWalker.h"
#include "workers/ThreadActionWalkerGet.h"
#include "workers/ThreadActionWalkerSet.h"
#include "workers/WalkerResult.h"

#include <cstdint>
#include <memory>
#include <vector>

class CMyMenu;
class CSimulatorLibrary;

class CViewWalker : public CMyListViewOf<CWalkerResult>, public CViewWindow, public CCommandTarget {
 public:
  enum Column {
    COLUMN_NUMBER,
    COLUMN_OID,
    COLUMN_USAP,
    COLUMN_PC,
    COLUMN_TYPE,
    COLUMN_LENGTH,
    COLUMN_VALUE,
    COLUMN_COUNT
  };
  enum DisplayMode : uint32_t { DISPLAY_RAW = 1, DISPLAY_SMART = 2 };

  explicit CViewWalker(CViewDispatcher* dispatcher, QWidget* parent = nullptr);
  ~CViewWalker() override;

  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t command) const override;
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

  // Start shows the parameters dialog; Restart uses the stored parameters.
  bool OnStart();
  bool OnRestart();
  bool OnGet();
  bool OnSet();
  // Walks the subtree under an OID with the stored parameters, as Restart.
  bool WalkSubtree(const CAsn1Oid& root);
  // Gets one variable with the stored parameters; its answer joins the list.
  bool GetVariable(const CAsn1Oid& oid);
  // Copies the selected rows into a simulator chosen from the library.
  bool OnSimulate();
  // The library the "Simulate" chooser lists (not owned).
  void SetSimulatorLibrary(const CSimulatorLibrary* library) { m_library = library; }

  // The record a request of each kind is started with (the retry rule:
  // Start hands Retries + 1, the others the stored value).
  static CThreadActionWalkerParameter StoredParameter(bool from_start);

  bool IsRequestRunning() const;
  bool IsWalking() const { return m_walking; }
  uint32_t DisplayMode() const { return m_mode; }
  const CThreadActionWalker& Walker() const { return m_walk; }

  // Appends the variables received so far (normally done by a queued call).
  void TakePending();
  // The walk whose rows the list shows; 0 after "Clear".
  uint64_t ShownWalk() const { return m_shown_walk; }

  QString CellText(int row, int column) const override;
  QColor RowColour(int row) const override { return AlternateRowColour(row); }

  // Tag class and form of a type code: "U" / "A" / "S", "P" / "C".
  static QString TagClass(uint8_t code);
  static QString TagForm(uint8_t code);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  int _selected_count() const;
  int _selected_row() const;
  void _update_row(std::unique_ptr<CWalkerResult> result);
  void _set_mode(uint32_t mode);
  bool _walk(const CThreadActionWalkerParameter& parameter);

  CThreadActionWalker m_walk;
  CThreadActionWalkerGet m_get;
  CThreadActionWalkerSet m_set;
  uint64_t m_shown_walk = 0;
  bool m_take_queued = false;
  bool m_walking = false;
  bool m_requesting = false;  // a Get or Set from its start to its finished message
  uint32_t m_mode = DISPLAY_RAW;
  CMyMenu* m_context_menu = nullptr;
  const CSimulatorLibrary* m_library = nullptr;
};
