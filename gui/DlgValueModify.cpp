#include "gui/DlgValueModify.h"

#include "asn1/Asn1Type.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QStringList CDlgValueModify::TypeNames() {
  const uint8_t codes[] = {ASN1_BOOLEAN,           ASN1_IP_ADDRESS, ASN1_INTEGER,   ASN1_OCTET_STRING,
                           ASN1_OBJECT_IDENTIFIER, ASN1_COUNTER32,  ASN1_COUNTER64, ASN1_TIMETICKS,
                           ASN1_GAUGE32,           ASN1_NULL,       ASN1_OPAQUE};
  QStringList names;
  for (uint8_t code : codes) names << QString::fromWCharArray(GetTypeName(code));
  return names;
}

CDlgValueModify::CDlgValueModify(bool modify, const QString& oid, const QString& type, const QString& value,
                                 QWidget* parent)
    : QDialog(parent),
      m_oid(new QLineEdit(oid, this)),
      m_type(new QComboBox(this)),
      m_value(new QLineEdit(value, this)) {
  setWindowTitle(modify ? QStringLiteral("Modify a value") : QStringLiteral("Add a value"));
  m_type->addItems(TypeNames());
  m_type->setCurrentIndex(m_type->findText(type));
  m_oid->setEnabled(!modify);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Oid"), m_oid);
  form->addRow(QStringLiteral("Type"), m_type);
  form->addRow(QStringLiteral("Value"), m_value);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_ok = buttons->button(QDialogButtonBox::Ok);
  m_ok->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_oid, &QLineEdit::textChanged, this, [this] { _update_ok(); });
  connect(m_type, &QComboBox::currentIndexChanged, this, [this] { _update_ok(); });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(420);
  _update_ok();
}

void CDlgValueModify::_update_ok() {
  m_ok->setEnabled(!m_oid->text().trimmed().isEmpty() && m_type->currentIndex() >= 0);
}

void CDlgValueModify::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_value->setFocus(Qt::OtherFocusReason);
  m_value->selectAll();
}

QString CDlgValueModify::Oid() const { return m_oid->text().trimmed(); }
QString CDlgValueModify::Type() const { return m_type->currentText(); }
QString CDlgValueModify::Value() const { return m_value->text(); }
