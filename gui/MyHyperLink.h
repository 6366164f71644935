// A text drawn underlined with the hand cursor; a click opens its target
// in the desktop's default program.
#pragma once

#include <QLabel>
#include <QUrl>

class CMyHyperLink : public QLabel {
  Q_OBJECT

 public:
  CMyHyperLink(const QString& text, const QUrl& target, QWidget* parent = nullptr);

  const QUrl& Target() const { return m_target; }

 signals:
  // Emitted on each click, before the target is opened.
  void clicked(const QUrl& target);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void _open();

  QUrl m_target;
};
