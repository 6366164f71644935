// CDlgTrapParameter: "Trap receiver parameters", the receive port and
// whether the receiver starts with the program. "OK" accepts only a port
// from 1 to 65,535 and then stores both values.
#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QLineEdit;
class QPushButton;

class CDlgTrapParameter : public QDialog {
 public:
  explicit CDlgTrapParameter(QWidget* parent = nullptr);

  // The accepted port (valid after "OK").
  uint32_t Port() const { return port_; }

  QLineEdit* PortEdit() const { return port_edit_; }
  QCheckBox* AutoStartBox() const { return auto_start_; }
  QPushButton* OkButton() const { return ok_; }

  void accept() override;

 private:
  QLineEdit* port_edit_;
  QCheckBox* auto_start_;
  QPushButton* ok_;
  uint32_t port_ = 0;
};
