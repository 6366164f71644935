#include "gui/DlgSnmpParameter.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Settings.h"
#include "asn1/Asn1Oid.h"

namespace {

QString Stored(uint32_t setting) { return QString::fromStdWString(ReadSettingString(setting)); }

QDialogButtonBox* Buttons(QDialog* dialog, const QString& cancel_text, QPushButton** ok) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  *ok = buttons->button(QDialogButtonBox::Ok);
  (*ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(cancel_text);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

// A whole number within [low, high]; false for anything else.
bool Number(const QLineEdit* edit, uint low, uint high, uint* value = nullptr) {
  bool ok = false;
  const uint n = edit->text().trimmed().toUInt(&ok);
  if (!ok || n < low || n > high) return false;
  if (value) *value = n;
  return true;
}

bool OidText(const QLineEdit* edit) {
  const QString text = edit->text().trimmed();
  if (text.isEmpty()) return true;
  CAsn1Oid oid;
  oid.Parse(text.toStdWString());
  return !oid.GetText().empty() && oid.Check();
}

}  // namespace

CDlgSnmpParameter::CDlgSnmpParameter(QWidget* parent)
    : QDialog(parent),
      port_(new QLineEdit(this)),
      version_(new QComboBox(this)),
      community_(new QLineEdit(this)),
      timeout_(new QLineEdit(this)),
      retries_(new QLineEdit(this)),
      first_oid_(new QLineEdit(this)),
      last_oid_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("SNMP parameters"));
  // The address control: four parts of 0-255.
  auto* address = new QHBoxLayout;
  const QStringList parts = Stored(SETTING_DLG_SNMP_PARAMETER_LAST_IP).split(QLatin1Char('.'));
  for (int i = 0; i < 4; ++i) {
    address_[i] = new QLineEdit(this);
    address_[i]->setValidator(new QIntValidator(0, 255, address_[i]));
    address_[i]->setMaxLength(3);
    if (parts.size() == 4) address_[i]->setText(parts[i]);
    if (i > 0) address->addWidget(new QLabel(QStringLiteral("."), this));
    address->addWidget(address_[i]);
  }
  port_->setText(QString::number(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT)));
  version_->addItems({QStringLiteral("V1"), QStringLiteral("V2c")});
  version_->setCurrentIndex(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_VERSION) == 2 ? 1 : 0);
  community_->setText(Stored(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY));
  timeout_->setText(QString::number(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT)));
  retries_->setText(QString::number(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY)));
  first_oid_->setText(Stored(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID));
  last_oid_->setText(Stored(SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("IP address"), address);
  form->addRow(QStringLiteral("Port"), port_);
  form->addRow(QStringLiteral("Version"), version_);
  form->addRow(QStringLiteral("Community string"), community_);
  form->addRow(QStringLiteral("Timeout"), timeout_);
  form->addRow(QStringLiteral("Retries"), retries_);
  form->addRow(new QLabel(QStringLiteral("OID range"), this));
  form->addRow(QStringLiteral("First OID"), first_oid_);
  form->addRow(QStringLiteral("Last OID"), last_oid_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(Buttons(this, QStringLiteral("Cancel"), &ok_));
}

bool CDlgSnmpParameter::_valid() const {
  if (community_->text().isEmpty()) return false;
  if (!Number(port_, 1, 65535)) return false;
  if (!Number(timeout_, 50, 0xFFFFFFFFu)) return false;
  if (!Number(retries_, 0, 0xFFFFFFFEu)) return false;
  for (const QLineEdit* part : address_) {
    if (!Number(part, 0, 255)) return false;
  }
  return OidText(first_oid_) && OidText(last_oid_);
}

void CDlgSnmpParameter::_store() const {
  uint port = 0, timeout = 0, retries = 0;
  Number(port_, 1, 65535, &port);
  Number(timeout_, 50, 0xFFFFFFFFu, &timeout);
  Number(retries_, 0, 0xFFFFFFFEu, &retries);
  QStringList parts;
  for (const QLineEdit* part : address_) parts << QString::number(part->text().toUInt());
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY, community_->text().toStdWString());
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT, -1, port);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT, -1, timeout);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY, -1, retries);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_VERSION, -1, version_->currentIndex() == 1 ? 2 : 1);
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID, first_oid_->text().trimmed().toStdWString());
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID, last_oid_->text().trimmed().toStdWString());
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_IP, parts.join(QLatin1Char('.')).toStdWString());
}

// Stays open, without a message, until every field holds.
void CDlgSnmpParameter::accept() {
  if (!_valid()) return;
  _store();
  QDialog::accept();
}

CDlgSnmpSet::CDlgSnmpSet(QWidget* parent)
    : QDialog(parent), community_(new QLineEdit(this)), value_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Set parameters"));
  community_->setText(Stored(SETTING_DLG_SNMP_SET_LAST_COMMUNITY));
  value_->setText(Stored(SETTING_DLG_SNMP_SET_LAST_VALUE));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Community string"), community_);
  form->addRow(QStringLiteral("Value"), value_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(Buttons(this, QStringLiteral("Annuler"), &ok_));
}

void CDlgSnmpSet::accept() {
  WriteSettingString(SETTING_DLG_SNMP_SET_LAST_COMMUNITY, community_->text().toStdWString());
  WriteSettingString(SETTING_DLG_SNMP_SET_LAST_VALUE, value_->text().toStdWString());
  QDialog::accept();
}
