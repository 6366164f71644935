// CDlgSnmpParameter: "SNMP parameters" of a walk, a Get or a Set. "OK"
// closes only with a community, a port of 1-65,535, a time-out of at least
// 50 ms, the four parts of the address and valid OIDs; it then stores the
// values in the DlgSnmpParameter settings.
#pragma once

#include <QDialog>

#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;

class CDlgSnmpParameter : public QDialog {
 public:
  explicit CDlgSnmpParameter(QWidget* parent = nullptr);

  std::array<QLineEdit*, 4> AddressParts() const { return address_; }
  QLineEdit* PortEdit() const { return port_; }
  QComboBox* VersionBox() const { return version_; }
  QLineEdit* CommunityEdit() const { return community_; }
  QLineEdit* TimeoutEdit() const { return timeout_; }
  QLineEdit* RetriesEdit() const { return retries_; }
  QLineEdit* FirstOidEdit() const { return first_oid_; }
  QLineEdit* LastOidEdit() const { return last_oid_; }
  QPushButton* OkButton() const { return ok_; }

  void accept() override;

 private:
  bool _valid() const;
  void _store() const;

  std::array<QLineEdit*, 4> address_{};
  QLineEdit* port_;
  QComboBox* version_;
  QLineEdit* community_;
  QLineEdit* timeout_;
  QLineEdit* retries_;
  QLineEdit* first_oid_;
  QLineEdit* last_oid_;
  QPushButton* ok_ = nullptr;
};

// CDlgSnmpSet: "Set parameters", the community and the value of a Set.
class CDlgSnmpSet : public QDialog {
 public:
  explicit CDlgSnmpSet(QWidget* parent = nullptr);

  QLineEdit* CommunityEdit() const { return community_; }
  QLineEdit* ValueEdit() const { return value_; }
  QPushButton* OkButton() const { return ok_; }

  void accept() override;

 private:
  QLineEdit* community_;
  QLineEdit* value_;
  QPushButton* ok_ = nullptr;
};
