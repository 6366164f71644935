#include "gui/DlgTrapParameter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Settings.h"

CDlgTrapParameter::CDlgTrapParameter(QWidget* parent)
    : QDialog(parent),
      port_edit_(new QLineEdit(this)),
      auto_start_(new QCheckBox(QStringLiteral("Automatic at startup"), this)) {
  setWindowTitle(QStringLiteral("Trap receiver parameters"));
  port_edit_->setText(QString::number(ReadSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT)));
  port_edit_->setMaxLength(10);
  auto_start_->setChecked(ReadSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START) != 0);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Port"), port_edit_);
  form->addRow(auto_start_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(QStringLiteral("OK"));
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
  const uint port = port_edit_->text().trimmed().toUInt(&ok);
  if (!ok || port < 1 || port > 65535) {
    port_edit_->setFocus();
    port_edit_->selectAll();
    return;
  }
  port_ = port;
  WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT, -1, port_);
  WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_AUTO_START, -1, auto_start_->isChecked() ? 1 : 0);
  QDialog::accept();
}
