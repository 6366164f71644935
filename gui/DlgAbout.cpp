#include "gui/DlgAbout.h"

#include "app/Settings.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QString CDlgAbout::VersionLine() {
  return QString::fromStdWString(ReadSettingString(SETTING_PRODUCT_NAME) + L" version " + ProductVersionText());
}

CDlgAbout::CDlgAbout(QWidget* parent) : QDialog(parent) {
  const QString product = QString::fromStdWString(ReadSettingString(SETTING_PRODUCT_NAME));
  setWindowTitle(QStringLiteral("About ") + product);

  auto* logo = new QLabel(this);
  logo->setPixmap(QIcon(QStringLiteral(":/images/tavelo.svg")).pixmap(48, 48));
  logo->setAlignment(Qt::AlignTop);

  auto* version = new QLabel(VersionLine(), this);
  version->setObjectName(QStringLiteral("VersionLine"));
  version->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* summary =
      new QLabel(QStringLiteral("SNMP workbench: MIB browser, walker, trap receiver and agent simulators."), this);
  summary->setWordWrap(true);

  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addWidget(summary);
  texts->addStretch(1);
  auto* row = new QHBoxLayout;
  row->addWidget(logo);
  row->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row, 1);
  layout->addWidget(buttons);
  setMinimumWidth(360);
}
