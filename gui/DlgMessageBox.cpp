#include "gui/DlgMessageBox.h"

#include "quillog/Quillog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QStyle::StandardPixmap PixmapOf(ShowMessageIcon icon) {
  switch (icon) {
    case SHOW_MESSAGE_ERROR:
      return QStyle::SP_MessageBoxCritical;
    case SHOW_MESSAGE_INFORMATION:
      return QStyle::SP_MessageBoxInformation;
    case SHOW_MESSAGE_WARNING:
      break;
  }
  return QStyle::SP_MessageBoxWarning;
}

}  // namespace

CDlgMessageBox::CDlgMessageBox(const QString& caption, const QString& text, ShowMessageIcon icon, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(caption);
  setModal(true);

  auto* icon_label = new QLabel(this);
  QIcon image = style()->standardIcon(PixmapOf(icon), nullptr, this);
  if (image.isNull()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to load the icon %d", static_cast<int>(icon));
  } else {
    icon_label->setPixmap(image.pixmap(32, 32));
  }
  icon_label->setAlignment(Qt::AlignTop);

  text_view_ = new QTextBrowser(this);
  text_view_->setOpenExternalLinks(true);
  text_view_->setFrameShape(QFrame::NoFrame);
  if (Qt::mightBeRichText(text)) {
    text_view_->setHtml(text);
  } else {
    text_view_->setPlainText(text);
  }
  text_view_->setMinimumSize(360, 90);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon_label);
  row->addWidget(text_view_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row, 1);
  layout->addWidget(buttons);
}

QString CDlgMessageBox::ShownText() const { return text_view_->toPlainText(); }

CDlgMessageBoxError::CDlgMessageBoxError(const QString& caption, const QString& text, QWidget* parent)
    : CDlgMessageBox(caption, text, SHOW_MESSAGE_ERROR, parent) {
  text_view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_view_->setLineWrapMode(QTextEdit::NoWrap);
  resize(640, 320);
}
