// CViewLogs: the Logger tab. Shows every line the program logs, live.
//
// quillog hands each record to a poster function on the logging thread. The
// poster only drops the record into the view's inbox and, when the inbox was
// empty, posts one wake-up event to the view; the view then takes the whole
// inbox on the GUI thread and appends it as one batch of rows. So a burst of
// lines from any number of threads costs one event and one row insertion,
// the GUI thread never waits for a logging thread, no record is lost, and
// the rows keep the order in which quillog wrote the lines (each thread's
// order included).
#pragma once

#include "gui/CommandTarget.h"
#include "gui/LogInbox.h"
#include "gui/MyListView.h"
#include "quillog/Quillog.h"

#include <cstdint>
#include <vector>

class CMyMenu;

class CViewLogs : public CMyListViewOf<QuillogInfo, QuillogInfoReleaser>, public CCommandTarget {
 public:
  enum Column {
    COLUMN_NUMBER,
    COLUMN_PROCESS,
    COLUMN_TYPE,
    COLUMN_LEVEL,
    COLUMN_DATE_TIME,
    COLUMN_PROCESS_ID,
    COLUMN_THREAD_ID,
    COLUMN_MESSAGE,
    COLUMN_COUNT
  };

  // Restores the saved feature mask and starts receiving log records.
  explicit CViewLogs(QWidget* parent = nullptr);
  // Stops receiving and hands every record back.
  ~CViewLogs() override;

  // The view's window handle as quillog knows it.
  uint64_t WindowHandle() const { return m_window; }

  // "Configure" (59) opens the debug parameters dialog, "Clear" (7) empties
  // the list. False for a command the view does not know.
  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t command) const override;
  void OnConfigure();
  void OnClear() { ClearList(); }

  // Appends what the loggers queued so far (normally done by the wake-up event).
  void TakePending();
  // Records queued and not yet shown.
  size_t PendingCount() const;

  int RowImage(int row) const override;
  // A message of several lines (a dump) shows on one line; its tool tip
  // holds it whole.
  QString CellText(int row, int column) const override;
  QString CellToolTip(int row, int column) const override;
  QColor RowColour(int row) const override { return AlternateRowColour(row); }

  // Resource paths of the level images, in level order (Info to Dump).
  static QStringList LevelImages();

 protected:
  void customEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  static bool _post(uint64_t window, uint32_t message, QuillogInfo* record);

  uint64_t m_window;
  CLogInbox m_inbox;
  std::vector<Pointer> m_batch;
  CMyMenu* m_context_menu = nullptr;
};
