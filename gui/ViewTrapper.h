// CViewTrapper: the Trapper tab. Lists the traps the trap receiver posts;
// a trap row expands into one sub-row per variable binding.
//
// The receiver keeps the traps in its outbox and posts a note with its run's
// number when the outbox stops being empty; the view takes the whole outbox
// as one batch of rows at most every kRowBatchMs, so a burst costs one row
// insertion and one post per batch. A note of an earlier run is dropped;
// Clear frees the traps not shown yet.
#pragma once

#include "app/MessageCenter.h"
#include "gui/CommandTarget.h"
#include "gui/MyListView.h"
#include "workers/ThreadActionTrapper.h"
#include "workers/TrapRecord.h"

#include <cstdint>
#include <memory>
#include <vector>

class CMyMenu;

class CViewTrapper : public CMyListView, public CViewWindow, public CCommandTarget {
 public:
  enum Column {
    COLUMN_NUMBER,
    COLUMN_TIME,
    COLUMN_REMOTE_IP,
    COLUMN_VERSION,
    COLUMN_AGENT_ADDRESS,
    COLUMN_ENTERPRISE,
    COLUMN_GENERIC,
    COLUMN_SPECIFIC,
    COLUMN_TIMETICKS,
    COLUMN_VARBIND,
    COLUMN_COUNT
  };
  enum DisplayMode : uint32_t { DISPLAY_RAW = 1, DISPLAY_SMART = 2 };

  // Subscribes to the trapper messages; starts the receiver on the stored
  // port when DlgTrapParameter / LastAutoStart is set.
  explicit CViewTrapper(CViewDispatcher* dispatcher, QWidget* parent = nullptr);
  ~CViewTrapper() override;

  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t command) const override;
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

  // Start (dialog), Restart (stored port), Stop; false when nothing started or stopped.
  bool OnStart();
  bool OnRestart();
  bool OnStop();
  // Between a successful start and the receiver's finished message.
  bool IsReceiving() const { return m_receiving; }
  // Between the receiver's started and finished messages: its socket is bound.
  bool IsListening() const { return m_listening; }
  uint32_t ReceivePort() const { return m_worker.GetPort(); }

  // Appends the traps received so far (normally done by a queued call).
  void TakePending();
  size_t TrapCount() const { return m_traps.size(); }
  uint32_t DisplayMode() const { return m_mode; }

  // Expands or collapses the trap of a row (a sub-row stands for its trap).
  void ExpandTrap(int row, bool expand);
  void ExpandAll(bool expand);

  QString CellText(int row, int column) const override;
  QColor RowColour(int row) const override;
  QString EmptyText() const override;

  // The OID or value a copy command puts on the clipboard for a row.
  QString RowOid(int row) const;
  QString RowValue(int row) const;

 protected:
  size_t ReleaseRows() override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // A shown row: a trap, or one binding of it (binding -1 for the trap row).
  struct RowRef {
    uint32_t trap;
    int32_t binding;
  };

  bool _start(uint32_t port);
  int _selected_row() const;
  int _trap_row(uint32_t trap) const;
  QString _trap_cell(const CTrapRecord& record, uint32_t trap, int column) const;
  QString _binding_cell(const CTrapRecord& record, int32_t binding, int column) const;
  QString _oid_text(const std::wstring& dotted) const;
  void _set_mode(uint32_t mode);
  void _copy(const QString& text) const;

  CThreadActionTrapper m_worker;
  std::vector<std::unique_ptr<CTrapRecord>> m_traps;
  std::vector<RowRef> m_rows;
  bool m_take_queued = false;
  bool m_receiving = false;
  bool m_listening = false;
  uint32_t m_mode = DISPLAY_RAW;
  CMyMenu* m_context_menu = nullptr;
};
