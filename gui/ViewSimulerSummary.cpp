#include "gui/ViewSimulerSummary.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/ShowMessage.h"
#include "gui/IpAddressEdit.h"
#include "quillog/Quillog.h"
#include "simulator/SimulatorFile.h"
#include "simulator/SimulatorLibrary.h"

namespace {

QLineEdit* PortEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(new QIntValidator(0, 65535, edit));
  return edit;
}

uint32_t Port(const QLineEdit* edit) { return edit->text().trimmed().toUInt(); }

}  // namespace

CViewSimulerSummary::CViewSimulerSummary(CViewDispatcher* dispatcher, const CSimulatorLibrary* library,
                                         QWidget* parent)
    : QWidget(parent),
      CViewWindow(dispatcher),
      library_(library),
      name_(new QLineEdit(this)),
      description_(new QPlainTextEdit(this)),
      recv_port_(PortEdit(this)),
      recv_community_(new QLineEdit(this)),
      version1_(new QCheckBox(this)),
      version2c_(new QCheckBox(this)),
      send_port_(PortEdit(this)),
      send_community_(new QLineEdit(this)),
      last_requester_(new QCheckBox(this)),
      address_(new CIpAddressEdit(this)) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Creating %s View", L"CViewSimulerSummary");
  name_->setReadOnly(true);
  description_->setTabChangesFocus(true);
  description_->setMaximumHeight(80);

  // Two columns: the receive side left, the send side right.
  auto* left = new QFormLayout;
  left->addRow(QStringLiteral("Name:"), name_);
  left->addRow(QStringLiteral("Description:"), description_);
  auto* middle = new QFormLayout;
  middle->addRow(QStringLiteral("Recv port:"), recv_port_);
  middle->addRow(QStringLiteral("Recv community:"), recv_community_);
  middle->addRow(QStringLiteral("Recv version 1:"), version1_);
  middle->addRow(QStringLiteral("Recv version 2c:"), version2c_);
  auto* right = new QFormLayout;
  right->addRow(QStringLiteral("Send port:"), send_port_);
  right->addRow(QStringLiteral("Send community:"), send_community_);
  right->addRow(QStringLiteral("Send to last requester:"), last_requester_);
  right->addRow(QStringLiteral("Send address:"), address_);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 3);
  layout->addLayout(middle, 2);
  layout->addLayout(right, 2);

  for (QLineEdit* edit : {recv_port_, recv_community_, send_port_, send_community_}) {
    connect(edit, &QLineEdit::textEdited, this, [this] { _on_edit(); });
  }
  for (QCheckBox* box : {version1_, version2c_, last_requester_}) {
    connect(box, &QCheckBox::clicked, this, [this] { _on_edit(); });
  }
  connect(description_, &QPlainTextEdit::textChanged, this, [this] { _on_edit(); });
  connect(address_, &CIpAddressEdit::edited, this, [this] { _on_edit(); });

  Show(nullptr);
  CMessageCenter::Subscribe(L"CViewSimulerSummary", this, MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE);
  SendViewMessage(L"CViewSimulerSummary", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SELECTED, 0);
}

CViewSimulerSummary::~CViewSimulerSummary() { CMessageCenter::Unsubscribe(this); }

intptr_t CViewSimulerSummary::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(L"CViewSimulerSummary", L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_SIMULATOR || sub_code != MSG_VIEW_SIMULATOR_SELECT_CHANGE) return 0;
  auto* entry = reinterpret_cast<CSimulatorEntry*>(payload);
  // An entry posted before a rebuild may be gone by now.
  if (entry != nullptr && (library_ == nullptr || !library_->Contains(entry))) return 0;
  if (entry != nullptr && entry == entry_) return 1;
  Show(entry);
  return 1;
}

void CViewSimulerSummary::Show(CSimulatorEntry* entry) {
  entry_ = entry != nullptr && entry->IsSimulator() ? entry : nullptr;
  _fill(entry_);
  for (QWidget* field : std::initializer_list<QWidget*>{name_, description_, recv_port_, recv_community_, version1_,
                                                        version2c_, send_port_, send_community_, last_requester_}) {
    field->setEnabled(entry_ != nullptr);
  }
  address_->setEnabled(entry_ != nullptr && !entry_->send_to_last_requester);
}

void CViewSimulerSummary::_fill(const CSimulatorEntry* entry) {
  filling_ = true;
  const CSimulatorEntry empty;
  const CSimulatorEntry& shown = entry != nullptr ? *entry : empty;
  name_->setText(QString::fromStdWString(shown.name));
  if (description_->toPlainText().toStdWString() != shown.description) {
    description_->setPlainText(QString::fromStdWString(shown.description));
  }
  recv_port_->setText(entry ? QString::number(shown.recv_port) : QString());
  recv_community_->setText(QString::fromStdWString(shown.recv_community));
  version1_->setChecked(shown.recv_version1);
  version2c_->setChecked(shown.recv_version2c);
  send_port_->setText(entry ? QString::number(shown.send_port) : QString());
  send_community_->setText(QString::fromStdWString(shown.send_community));
  last_requester_->setChecked(shown.send_to_last_requester);
  if (entry != nullptr) {
    address_->SetAddress(shown.send_address);
  } else {
    for (QLineEdit* part : address_->Parts()) part->clear();
  }
  filling_ = false;
}

void CViewSimulerSummary::_on_edit() {
  if (filling_ || entry_ == nullptr) return;
  if (entry_->running) {
    _fill(entry_);
    ShowMessageBox(L"Simulator is running, you are not allowed to modify it, stop it first", L"Warning",
                   SHOW_MESSAGE_WARNING);
    return;  // the restored values are the stored ones: nothing to save
  }
  if (!_check()) return;
  _apply();
}

bool CViewSimulerSummary::_check() const {
  const wchar_t* refusal = nullptr;
  if (recv_community_->text().isEmpty() || send_community_->text().isEmpty()) {
    refusal = L"Community string cannot be empty";
  } else if (Port(recv_port_) == 0 || Port(send_port_) == 0) {
    refusal = L"Port number cannot be 0";
  } else if (!version1_->isChecked() && !version2c_->isChecked()) {
    refusal = L"At least one SNMP version must be activated";
  }
  if (refusal == nullptr) return true;
  ShowMessageBox(refusal, L"Warning", SHOW_MESSAGE_WARNING);
  return false;
}

void CViewSimulerSummary::_apply() {
  entry_->description = description_->toPlainText().toStdWString();
  entry_->recv_port = Port(recv_port_);
  entry_->recv_community = recv_community_->text().toStdWString();
  entry_->recv_version1 = version1_->isChecked();
  entry_->recv_version2c = version2c_->isChecked();
  entry_->send_port = Port(send_port_);
  entry_->send_community = send_community_->text().toStdWString();
  entry_->send_to_last_requester = last_requester_->isChecked();
  uint32_t address = 0;
  // A half-typed address keeps the stored one.
  if (address_->Address(&address) && address != entry_->send_address) entry_->send_address = address;
  CSimulatorFile::Save(entry_);
  address_->setEnabled(!entry_->send_to_last_requester);
}
