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

  QListWidget* Available() const { return available_; }
  QListWidget* Configured() const { return configured_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* RemoveButton() const { return remove_; }
  QPushButton* AllButton() const { return all_; }
  QPushButton* NoneButton() const { return none_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  void accept() override;

 private:
  void _fill(uint32_t mask);
  // Moves the items (selected ones, or all) from one list to the other.
  void _move(QListWidget* from, QListWidget* to, bool all);
  void _move_item(QListWidgetItem* item, QListWidget* to);
  void _update_buttons();

  QListWidget* available_;
  QListWidget* configured_;
  QPushButton* add_;
  QPushButton* remove_;
  QPushButton* all_;
  QPushButton* none_;
  QPushButton* ok_;
  QPushButton* cancel_;
};
