#include "gui/DlgTrapParameter.h"

#include "app/Settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDlgTrapParameter::CDlgTrapParameter(QWidget* parent)
    : QDialog(parent),
      m_port_edit(new QLineEdit(this)),
      m_auto_start(new QCheckBox(QStringLiteral("Automatic at startup"), this)) {
  setWindowTitle(QStringLiteral("Trap receiver parameters"));
  m_port_edit->setText(QString::number(ReadSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT)));
  m_port_edit->setMaxLength(10);
  m_auto_start->setChecked(ReadSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START) != 0);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Port"), m_port_edit);
  form->addRow(m_auto_start);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_ok = buttons->button(QDialogButtonBox::Ok);
  m_ok->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CDlgTrapParameter::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CDlgTrapParameter::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

// A port outside 1-65,535 (or not a number) keeps the dialog open.
void CDlgTrapParameter::accept() {
  bool ok = false;
  const uint port = m_port_edit->text().trimmed().toUInt(&ok);
  if (!ok || port < 1 || port > 65535) {
    m_port_edit->setFocus();
    m_port_edit->selectAll();
    return;
  }
  m_port = port;
  WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT, -1, m_port);
  WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START, -1, m_auto_start->isChecked() ? 1 : 0);
  QDialog::accept();
}
