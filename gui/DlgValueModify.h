// CDlgValueModify: "Add a value" / "Modify a value" of a simulator: OID,
// type and value text. "OK" is enabled while the OID is not empty and a
// type is chosen; when modifying, the OID cannot be changed.
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;

class CDlgValueModify : public QDialog {
 public:
  // An empty type name leaves no type chosen.
  CDlgValueModify(bool modify, const QString& oid = QString(), const QString& type = QString(),
                  const QString& value = QString(), QWidget* parent = nullptr);

  // The type names offered, in list order.
  static QStringList TypeNames();

  QString Oid() const;
  QString Type() const;
  QString Value() const;
  QLineEdit* OidEdit() const { return oid_; }
  QComboBox* TypeBox() const { return type_; }
  QLineEdit* ValueEdit() const { return value_; }
  QPushButton* OkButton() const { return ok_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void _update_ok();

  QLineEdit* oid_;
  QComboBox* type_;
  QLineEdit* value_;
  QPushButton* ok_ = nullptr;
};
