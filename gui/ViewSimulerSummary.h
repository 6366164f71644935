// CViewSimulerSummary: the settings of the selected simulator. Every edit
// is checked and saved at once; a running simulator cannot be changed (the
// form shows its stored settings again, with a warning).
#pragma once

#include "app/MessageCenter.h"

#include <QWidget>

class CIpAddressEdit;
class CSimulatorEntry;
class CSimulatorLibrary;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

class CViewSimulerSummary : public QWidget, public CViewWindow {
 public:
  CViewSimulerSummary(CViewDispatcher* dispatcher, const CSimulatorLibrary* library, QWidget* parent = nullptr);
  ~CViewSimulerSummary() override;

  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

  // Shows the entry's settings (a folder or null empties the form).
  void Show(CSimulatorEntry* entry);
  CSimulatorEntry* Shown() const { return entry_; }

  QLineEdit* NameEdit() const { return name_; }
  QPlainTextEdit* DescriptionEdit() const { return description_; }
  QLineEdit* RecvPortEdit() const { return recv_port_; }
  QLineEdit* RecvCommunityEdit() const { return recv_community_; }
  QCheckBox* Version1Box() const { return version1_; }
  QCheckBox* Version2cBox() const { return version2c_; }
  QLineEdit* SendPortEdit() const { return send_port_; }
  QLineEdit* SendCommunityEdit() const { return send_community_; }
  QCheckBox* LastRequesterBox() const { return last_requester_; }
  CIpAddressEdit* AddressEdit() const { return address_; }

 private:
  void _fill(const CSimulatorEntry* entry);
  void _on_edit();
  bool _check() const;
  void _apply();

  const CSimulatorLibrary* library_;
  CSimulatorEntry* entry_ = nullptr;
  bool filling_ = false;
  QLineEdit* name_;
  QPlainTextEdit* description_;
  QLineEdit* recv_port_;
  QLineEdit* recv_community_;
  QCheckBox* version1_;
  QCheckBox* version2c_;
  QLineEdit* send_port_;
  QLineEdit* send_community_;
  QCheckBox* last_requester_;
  CIpAddressEdit* address_;
};
