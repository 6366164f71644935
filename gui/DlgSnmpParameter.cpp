#include "gui/DlgSnmpParameter.h"

#include "app/Settings.h"
#include "asn1/Asn1Oid.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

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
      m_port(new QLineEdit(this)),
      m_version(new QComboBox(this)),
      m_community(new QLineEdit(this)),
      m_timeout(new QLineEdit(this)),
      m_retries(new QLineEdit(this)),
      m_first_oid(new QLineEdit(this)),
      m_last_oid(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("SNMP parameters"));
  // The address control: four parts of 0-255.
  auto* address = new QHBoxLayout;
  const QStringList parts = Stored(SETTING_DLG_SNMP_PARAMETER_LAST_IP).split(QLatin1Char('.'));
  for (int i = 0; i < 4; ++i) {
    m_address[i] = new QLineEdit(this);
    m_address[i]->setValidator(new QIntValidator(0, 255, m_address[i]));
    m_address[i]->setMaxLength(3);
    if (parts.size() == 4) m_address[i]->setText(parts[i]);
    if (i > 0) address->addWidget(new QLabel(QStringLiteral("."), this));
    address->addWidget(m_address[i]);
  }
  m_port->setText(QString::number(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT)));
  m_version->addItems({QStringLiteral("V1"), QStringLiteral("V2c")});
  m_version->setCurrentIndex(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_VERSION) == 2 ? 1 : 0);
  m_community->setText(Stored(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY));
  m_timeout->setText(QString::number(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT)));
  m_retries->setText(QString::number(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY)));
  m_first_oid->setText(Stored(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID));
  m_last_oid->setText(Stored(SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("IP address"), address);
  form->addRow(QStringLiteral("Port"), m_port);
  form->addRow(QStringLiteral("Version"), m_version);
  form->addRow(QStringLiteral("Community string"), m_community);
  form->addRow(QStringLiteral("Timeout"), m_timeout);
  form->addRow(QStringLiteral("Retries"), m_retries);
  form->addRow(new QLabel(QStringLiteral("OID range"), this));
  form->addRow(QStringLiteral("First OID"), m_first_oid);
  form->addRow(QStringLiteral("Last OID"), m_last_oid);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(Buttons(this, QStringLiteral("Cancel"), &m_ok));
}

bool CDlgSnmpParameter::_valid() const {
  if (m_community->text().isEmpty()) return false;
  if (!Number(m_port, 1, 65535)) return false;
  if (!Number(m_timeout, 50, 0xFFFFFFFFu)) return false;
  if (!Number(m_retries, 0, 0xFFFFFFFEu)) return false;
  for (const QLineEdit* part : m_address) {
    if (!Number(part, 0, 255)) return false;
  }
  return OidText(m_first_oid) && OidText(m_last_oid);
}

void CDlgSnmpParameter::_store() const {
  uint port = 0, timeout = 0, retries = 0;
  Number(m_port, 1, 65535, &port);
  Number(m_timeout, 50, 0xFFFFFFFFu, &timeout);
  Number(m_retries, 0, 0xFFFFFFFEu, &retries);
  QStringList parts;
  for (const QLineEdit* part : m_address) parts << QString::number(part->text().toUInt());
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY, m_community->text().toStdWString());
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT, -1, port);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT, -1, timeout);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY, -1, retries);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_VERSION, -1, m_version->currentIndex() == 1 ? 2 : 1);
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID, m_first_oid->text().trimmed().toStdWString());
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID, m_last_oid->text().trimmed().toStdWString());
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_IP, parts.join(QLatin1Char('.')).toStdWString());
}

// Stays open, without a message, until every field holds.
void CDlgSnmpParameter::accept() {
  if (!_valid()) return;
  _store();
  QDialog::accept();
}

CDlgSnmpSet::CDlgSnmpSet(QWidget* parent)
    : QDialog(parent), m_community(new QLineEdit(this)), m_value(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Set parameters"));
  m_community->setText(Stored(SETTING_DLG_SNMP_SET_LAST_COMMUNITY));
  m_value->setText(Stored(SETTING_DLG_SNMP_SET_LAST_VALUE));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Community string"), m_community);
  form->addRow(QStringLiteral("Value"), m_value);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(Buttons(this, QStringLiteral("Annuler"), &m_ok));
}

void CDlgSnmpSet::accept() {
  WriteSettingString(SETTING_DLG_SNMP_SET_LAST_COMMUNITY, m_community->text().toStdWString());
  WriteSettingString(SETTING_DLG_SNMP_SET_LAST_VALUE, m_value->text().toStdWString());
  QDialog::accept();
}
