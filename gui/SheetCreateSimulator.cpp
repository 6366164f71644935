#include "gui/SheetCreateSimulator.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "asn1/IpAddress.h"
#include "gui/IpAddressEdit.h"
#include "quillog/Quillog.h"

#include <sys/stat.h>

namespace {

QLineEdit* NewPortEdit(QWidget* parent, uint32_t setting) {
  auto* edit = new QLineEdit(QString::number(ReadSettingDword(setting)), parent);
  edit->setValidator(new QIntValidator(0, 65535, edit));
  return edit;
}

uint32_t Port(const QLineEdit* edit) { return edit->text().trimmed().toUInt(); }

bool Refuse(const wchar_t* text) {
  ShowMessageBox(text, L"Warning", SHOW_MESSAGE_WARNING);
  return false;
}

bool FileExists(const std::wstring& path) {
  struct stat info {};
  return ::lstat(quillog::WideToUtf8(path).c_str(), &info) == 0;
}

QGroupBox* Group(const QString& title, QFormLayout* form, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  group->setLayout(form);
  return group;
}

}  // namespace

// ---------------------------------------------------------------- page 1

CDlgCreateSimulator_1::CDlgCreateSimulator_1(const std::wstring& folder, QWidget* parent)
    : QWizardPage(parent), folder_(folder), name_(new QLineEdit(this)), description_(new QPlainTextEdit(this)) {
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("Name"), name_);
  form->addRow(QStringLiteral("Description"), description_);
}

bool CDlgCreateSimulator_1::validatePage() {
  const std::wstring name = name_->text().toStdWString();
  if (name.empty()) return Refuse(L"Simulator name must not be empty");
  if (FileExists(folder_ + L"/" + name + CSheetCreateSimulator::Extension())) {
    return Refuse(L"A simulator with that name is already existing");
  }
  return true;
}

// ---------------------------------------------------------------- page 2

CDlgCreateSimulator_2::CDlgCreateSimulator_2(QWidget* parent)
    : QWizardPage(parent),
      port_(NewPortEdit(this, SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_PORT)),
      version1_(new QCheckBox(QStringLiteral("V1"), this)),
      version2c_(new QCheckBox(QStringLiteral("V2c"), this)),
      community_(new QLineEdit(
          QString::fromStdWString(ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_COMMUNITY)), this)) {
  version1_->setChecked(ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION1) != 0);
  version2c_->setChecked(ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION2C) != 0);
  auto* versions = new QHBoxLayout;
  versions->addWidget(version1_);
  versions->addWidget(version2c_);
  versions->addStretch(1);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Port"), port_);
  form->addRow(QStringLiteral("Version"), versions);
  form->addRow(QStringLiteral("Community string"), community_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Group(QStringLiteral("SNMP GET/GET-NEXT"), form, this));
}

bool CDlgCreateSimulator_2::validatePage() {
  if (community_->text().isEmpty()) return Refuse(L"Community name must not be empty");
  if (Port(port_) == 0) return Refuse(L"Receive port must not be 0");
  if (!version1_->isChecked() && !version2c_->isChecked()) return Refuse(L"At least one SNMP version must be allowed");
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_PORT, -1, Port(port_));
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION1, -1, version1_->isChecked() ? 1 : 0);
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION2C, -1, version2c_->isChecked() ? 1 : 0);
  WriteSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_COMMUNITY, community_->text().toStdWString());
  return true;
}

// ---------------------------------------------------------------- page 3

CDlgCreateSimulator_3::CDlgCreateSimulator_3(QWidget* parent)
    : QWizardPage(parent),
      last_requester_(new QCheckBox(QStringLiteral("Send to last requester"), this)),
      address_(new CIpAddressEdit(this)),
      community_(new QLineEdit(
          QString::fromStdWString(ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_COMMUNITY)), this)),
      port_(NewPortEdit(this, SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_PORT)) {
  last_requester_->setChecked(ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_REMEMBER_IP_ADDRESS) != 0);
  const uint32_t address = IpAddress(ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_IP_ADDRESS));
  if (address != 0xFFFFFFFFu) address_->SetAddress(address);
  auto* form = new QFormLayout;
  form->addRow(last_requester_);
  form->addRow(QStringLiteral("IP address"), address_);
  form->addRow(QStringLiteral("Community string"), community_);
  form->addRow(QStringLiteral("Port"), port_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Group(QStringLiteral("SNMP TRAP"), form, this));
}

bool CDlgCreateSimulator_3::validatePage() {
  if (community_->text().isEmpty()) return Refuse(L"Community name must not be empty");
  if (Port(port_) == 0) return Refuse(L"Send port must not be 0");
  uint32_t address = 0;
  if (!address_->Address(&address)) return Refuse(L"IP address is not valid");
  WriteSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_COMMUNITY, community_->text().toStdWString());
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_PORT, -1, Port(port_));
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_REMEMBER_IP_ADDRESS, -1,
                    last_requester_->isChecked() ? 1 : 0);
  WriteSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_IP_ADDRESS, FormatIpAddress(address));
  return true;
}

// ---------------------------------------------------------------- sheet

CSheetCreateSimulator::CSheetCreateSimulator(const std::wstring& folder, QWidget* parent)
    : QWizard(parent),
      page1_(new CDlgCreateSimulator_1(folder, this)),
      page2_(new CDlgCreateSimulator_2(this)),
      page3_(new CDlgCreateSimulator_3(this)) {
  setWindowTitle(QStringLiteral("Create simulator"));
  setWizardStyle(QWizard::ClassicStyle);
  setOption(QWizard::NoBackButtonOnStartPage, true);
  addPage(page1_);
  addPage(page2_);
  addPage(page3_);
  setButtonText(QWizard::CancelButton, QStringLiteral("Annuler"));
  setMinimumWidth(460);
}

std::wstring CSheetCreateSimulator::Extension() {
  const std::wstring extension = ReadSettingString(SETTING_SIMULATOR_EXTENSION);
  return extension.empty() ? L".tav" : extension;
}

SimulatorSettings CSheetCreateSimulator::Settings() const {
  SimulatorSettings settings;
  settings.name = page1_->NameEdit()->text().toStdWString();
  settings.description = page1_->DescriptionEdit()->toPlainText().toStdWString();
  settings.recv_port = Port(page2_->PortEdit());
  settings.recv_community = page2_->CommunityEdit()->text().toStdWString();
  settings.recv_version1 = page2_->Version1Box()->isChecked();
  settings.recv_version2c = page2_->Version2cBox()->isChecked();
  settings.send_community = page3_->CommunityEdit()->text().toStdWString();
  settings.send_port = Port(page3_->PortEdit());
  settings.send_to_last_requester = page3_->LastRequesterBox()->isChecked();
  page3_->AddressEdit()->Address(&settings.send_address);
  return settings;
}
