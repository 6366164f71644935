// CSheetCreateSimulator: the "Create simulator" wizard. Page 1 names the
// simulator, page 2 sets what it answers, page 3 where its traps go. Each
// page checks its fields when left forwards; the receive and send settings
// are remembered (DlgCreateSimulator) and offered again. The caller creates
// the simulator from Settings() once the wizard is accepted.
#pragma once

#include "simulator/SimulatorLibrary.h"

#include <QWizard>
#include <QWizardPage>

#include <string>

class CIpAddressEdit;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

class CDlgCreateSimulator_1 : public QWizardPage {
 public:
  CDlgCreateSimulator_1(const std::wstring& folder, QWidget* parent = nullptr);
  bool validatePage() override;

  QLineEdit* NameEdit() const { return name_; }
  QPlainTextEdit* DescriptionEdit() const { return description_; }

 private:
  std::wstring folder_;
  QLineEdit* name_;
  QPlainTextEdit* description_;
};

class CDlgCreateSimulator_2 : public QWizardPage {
 public:
  explicit CDlgCreateSimulator_2(QWidget* parent = nullptr);
  bool validatePage() override;

  QLineEdit* PortEdit() const { return port_; }
  QCheckBox* Version1Box() const { return version1_; }
  QCheckBox* Version2cBox() const { return version2c_; }
  QLineEdit* CommunityEdit() const { return community_; }

 private:
  QLineEdit* port_;
  QCheckBox* version1_;
  QCheckBox* version2c_;
  QLineEdit* community_;
};

class CDlgCreateSimulator_3 : public QWizardPage {
 public:
  explicit CDlgCreateSimulator_3(QWidget* parent = nullptr);
  bool validatePage() override;

  QCheckBox* LastRequesterBox() const { return last_requester_; }
  CIpAddressEdit* AddressEdit() const { return address_; }
  QLineEdit* CommunityEdit() const { return community_; }
  QLineEdit* PortEdit() const { return port_; }

 private:
  QCheckBox* last_requester_;
  CIpAddressEdit* address_;
  QLineEdit* community_;
  QLineEdit* port_;
};

class CSheetCreateSimulator : public QWizard {
 public:
  // `folder` is the folder the simulator will be created in.
  CSheetCreateSimulator(const std::wstring& folder, QWidget* parent = nullptr);

  SimulatorSettings Settings() const;
  // The simulator files' extension (".tav").
  static std::wstring Extension();

  CDlgCreateSimulator_1* Page1() const { return page1_; }
  CDlgCreateSimulator_2* Page2() const { return page2_; }
  CDlgCreateSimulator_3* Page3() const { return page3_; }

 private:
  CDlgCreateSimulator_1* page1_;
  CDlgCreateSimulator_2* page2_;
  CDlgCreateSimulator_3* page3_;
};
