#include "gui/IpAddressEdit.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (size_t i = 0; i < m_parts.size(); ++i) {
    m_parts[i] = new QLineEdit(this);
    m_parts[i]->setValidator(new QIntValidator(0, 255, m_parts[i]));
    m_parts[i]->setMaxLength(3);
    m_parts[i]->setMaximumWidth(48);
    m_parts[i]->setAlignment(Qt::AlignHCenter);
    if (i > 0) layout->addWidget(new QLabel(QStringLiteral("."), this));
    layout->addWidget(m_parts[i]);
    connect(m_parts[i], &QLineEdit::textEdited, this, &CIpAddressEdit::edited);
  }
  layout->addStretch(1);
}

void CIpAddressEdit::SetAddress(uint32_t address) {
  for (size_t i = 0; i < m_parts.size(); ++i) {
    m_parts[i]->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
  }
}

bool CIpAddressEdit::Address(uint32_t* address) const {
  uint32_t value = 0;
  for (QLineEdit* part : m_parts) {
    bool ok = false;
    const uint n = part->text().trimmed().toUInt(&ok);
    if (!ok || n > 255) return false;
    value = (value << 8) | n;
  }
  if (address != nullptr) *address = value;
  return true;
}
