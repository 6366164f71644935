#include "gui/DlgNewName.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDlgNewName::CDlgNewName(const QString& title, const QString& name, QWidget* parent)
    : QDialog(parent), name_(new QLineEdit(name, this)) {
  setObjectName(QStringLiteral("New name"));
  setWindowTitle(title);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Name"), name_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  name_->selectAll();
  name_->setFocus();
  setMinimumWidth(320);
}

QString CDlgNewName::Name() const { return name_->text(); }
