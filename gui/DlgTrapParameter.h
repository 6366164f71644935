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
  uint32_t Port() const { return m_port; }

  QLineEdit* PortEdit() const { return m_port_edit; }
  QCheckBox* AutoStartBox() const { return m_auto_start; }
  QPushButton* OkButton() const { return m_ok; }

  void accept() override;

 private:
  QLineEdit* m_port_edit;
  QCheckBox* m_auto_start;
  QPushButton* m_ok;
  uint32_t m_port = 0;
};
