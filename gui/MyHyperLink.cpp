#include "gui/MyHyperLink.h"

#include "quillog/Quillog.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

CMyHyperLink::CMyHyperLink(const QString& text, const QUrl& target, QWidget* parent)
    : QLabel(text, parent), m_target(target) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setForegroundRole(QPalette::Link);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setToolTip(m_target.toString());
}

void CMyHyperLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) _open();
  QLabel::mouseReleaseEvent(event);
}

void CMyHyperLink::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
    _open();
    return;
  }
  QLabel::keyPressEvent(event);
}

void CMyHyperLink::_open() {
  emit clicked(m_target);
  if (!m_target.isValid()) return;
  if (!QDesktopServices::openUrl(m_target)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CMyHyperLink::Open() : Unable to open %s", m_target.toString().toStdWString());
  }
}
