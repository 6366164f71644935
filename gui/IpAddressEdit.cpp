#include "gui/IpAddressEdit.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (size_t i = 0; i < parts_.size(); ++i) {
    parts_[i] = new QLineEdit(this);
    parts_[i]->setValidator(new QIntValidator(0, 255, parts_[i]));
    parts_[i]->setMaxLength(3);
    parts_[i]->setMaximumWidth(48);
    parts_[i]->setAlignment(Qt::AlignHCenter);
    if (i > 0) layout->addWidget(new QLabel(QStringLiteral("."), this));
    layout->addWidget(parts_[i]);
    connect(parts_[i], &QLineEdit::textEdited, this, &CIpAddressEdit::edited);
  }
  layout->addStretch(1);
}

void CIpAddressEdit::SetAddress(uint32_t address) {
  for (size_t i = 0; i < parts_.size(); ++i) {
    parts_[i]->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
  }
}

bool CIpAddressEdit::Address(uint32_t* address) const {
  uint32_t value = 0;
  for (QLineEdit* part : parts_) {
    bool ok = false;
    const uint n = part->text().trimmed().toUInt(&ok);
    if (!ok || n > 255) return false;
    value = (value << 8) | n;
  }
  if (address != nullptr) *address = value;
  return true;
}
