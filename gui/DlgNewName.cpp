#include "gui/DlgNewName.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDlgNewName::CDlgNewName(const QString& title, const QString& name, QWidget* parent)
    : QDialog(parent), m_name(new QLineEdit(name, this)) {
  setObjectName(QStringLiteral("New name"));
  setWindowTitle(title);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Name"), m_name);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_ok = buttons->button(QDialogButtonBox::Ok);
  m_ok->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  m_name->selectAll();
  m_name->setFocus();
  setMinimumWidth(320);
}

QString CDlgNewName::Name() const { return m_name->text(); }
