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
    case SHOW_MESSAGE_ERROR: return QStyle::SP_MessageBoxCritical;
    case SHOW_MESSAGE_INFORMATION: return QStyle::SP_MessageBoxInformation;
    case SHOW_MESSAGE_WARNING: break;
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

  m_text_view = new QTextBrowser(this);
  m_text_view->setOpenExternalLinks(true);
  m_text_view->setFrameShape(QFrame::NoFrame);
  if (Qt::mightBeRichText(text)) {
    m_text_view->setHtml(text);
  } else {
    m_text_view->setPlainText(text);
  }
  m_text_view->setMinimumSize(360, 90);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon_label);
  row->addWidget(m_text_view, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row, 1);
  layout->addWidget(buttons);
}

QString CDlgMessageBox::ShownText() const { return m_text_view->toPlainText(); }

CDlgMessageBoxError::CDlgMessageBoxError(const QString& caption, const QString& text, QWidget* parent)
    : CDlgMessageBox(caption, text, SHOW_MESSAGE_ERROR, parent) {
  m_text_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_text_view->setLineWrapMode(QTextEdit::NoWrap);
  resize(640, 320);
}
