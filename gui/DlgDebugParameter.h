// CDlgDebugParameter: "Debug parameters", the choice of the log features.
//
// The 21 named features sit in "Available" or "Configured"; each list keeps
// the order in which quillog names them. "OK" hands the OR of the
// configured bits to quillog and stores it in ViewLogs / LogLevel.
#pragma once

#include <QDialog>

#include <cstdint>

class QListWidget;
class QListWidgetItem;
class QPushButton;

class CDlgDebugParameter : public QDialog {
 public:
  explicit CDlgDebugParameter(QWidget* parent = nullptr);

  // The OR of the bits now in "Configured".
  uint32_t ConfiguredMask() const;

  QListWidget* Available() const { return m_available; }
  QListWidget* Configured() const { return m_configured; }
  QPushButton* AddButton() const { return m_add; }
  QPushButton* RemoveButton() const { return m_remove; }
  QPushButton* AllButton() const { return m_all; }
  QPushButton* NoneButton() const { return m_none; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }

  void accept() override;

 private:
  void _fill(uint32_t mask);
  // Moves the items (selected ones, or all) from one list to the other.
  void _move(QListWidget* from, QListWidget* to, bool all);
  void _move_item(QListWidgetItem* item, QListWidget* to);
  void _update_buttons();

  QListWidget* m_available;
  QListWidget* m_configured;
  QPushButton* m_add;
  QPushButton* m_remove;
  QPushButton* m_all;
  QPushButton* m_none;
  QPushButton* m_ok;
  QPushButton* m_cancel;
};
