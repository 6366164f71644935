// "About Tavelo": the program's icon, name and version.
#pragma once

#include <QDialog>

class CDlgAbout : public QDialog {
  Q_OBJECT

 public:
  explicit CDlgAbout(QWidget* parent = nullptr);

  // "Tavelo version 0.1.0.0"
  static QString VersionLine();
};
