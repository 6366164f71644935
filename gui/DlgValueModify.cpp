#include "gui/DlgValueModify.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "asn1/Asn1Type.h"

QStringList CDlgValueModify::TypeNames() {
  const uint8_t codes[] = {ASN1_BOOLEAN,   ASN1_IP_ADDRESS, ASN1_INTEGER,   ASN1_OCTET_STRING,
                           ASN1_OBJECT_IDENTIFIER, ASN1_COUNTER32, ASN1_COUNTER64, ASN1_TIMETICKS,
                           ASN1_GAUGE32,   ASN1_NULL,      ASN1_OPAQUE};
  QStringList names;
  for (uint8_t code : codes) names << QString::fromWCharArray(GetTypeName(code));
  return names;
}

CDlgValueModify::CDlgValueModify(bool modify, const QString& oid, const QString& type, const QString& value,
                                 QWidget* parent)
    : QDialog(parent), oid_(new QLineEdit(oid, this)), type_(new QComboBox(this)), value_(new QLineEdit(value, this)) {
  setWindowTitle(modify ? QStringLiteral("Modify a value") : QStringLiteral("Add a value"));
  type_->addItems(TypeNames());
  type_->setCurrentIndex(type_->findText(type));
  oid_->setEnabled(!modify);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Oid"), oid_);
  form->addRow(QStringLiteral("Type"), type_);
  form->addRow(QStringLiteral("Value"), value_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(oid_, &QLineEdit::textChanged, this, [this] { _update_ok(); });
  connect(type_, &QComboBox::currentIndexChanged, this, [this] { _update_ok(); });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(420);
  _update_ok();
}

void CDlgValueModify::_update_ok() { ok_->setEnabled(!oid_->text().trimmed().isEmpty() && type_->currentIndex() >= 0); }

void CDlgValueModify::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  value_->setFocus(Qt::OtherFocusReason);
  value_->selectAll();
}

QString CDlgValueModify::Oid() const { return oid_->text().trimmed(); }
QString CDlgValueModify::Type() const { return type_->currentText(); }
QString CDlgValueModify::Value() const { return value_->text(); }
