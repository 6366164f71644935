#include "gui/DlgDebugParameter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Settings.h"
#include "quillog/Quillog.h"

namespace {

constexpr int kBitRole = Qt::UserRole;
constexpr int kOrderRole = Qt::UserRole + 1;

QListWidget* MakeList(QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setMinimumWidth(190);
  return list;
}

}  // namespace

CDlgDebugParameter::CDlgDebugParameter(QWidget* parent)
    : QDialog(parent),
      available_(MakeList(this)),
      configured_(MakeList(this)),
      add_(new QPushButton(QStringLiteral(">>"), this)),
      remove_(new QPushButton(QStringLiteral("<<"), this)),
      all_(new QPushButton(QStringLiteral("All"), this)),
      none_(new QPushButton(QStringLiteral("None"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Debug parameters"));

  auto* moves = new QVBoxLayout;
  moves->addStretch();
  for (QPushButton* button : {add_, remove_, all_, none_}) moves->addWidget(button);
  moves->addStretch();

  auto* lists = new QGridLayout;
  lists->addWidget(new QLabel(QStringLiteral("Available"), this), 0, 0);
  lists->addWidget(new QLabel(QStringLiteral("Configured"), this), 0, 2);
  lists->addWidget(available_, 1, 0);
  lists->addLayout(moves, 1, 1);
  lists->addWidget(configured_, 1, 2);

  auto* closing = new QHBoxLayout;
  closing->addStretch();
  closing->addWidget(ok_);
  closing->addWidget(cancel_);
  ok_->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists);
  layout->addLayout(closing);

  connect(add_, &QPushButton::clicked, this, [this] { _move(available_, configured_, false); });
  connect(remove_, &QPushButton::clicked, this, [this] { _move(configured_, available_, false); });
  connect(all_, &QPushButton::clicked, this, [this] { _move(available_, configured_, true); });
  connect(none_, &QPushButton::clicked, this, [this] { _move(configured_, available_, true); });
  connect(ok_, &QPushButton::clicked, this, &CDlgDebugParameter::accept);
  connect(cancel_, &QPushButton::clicked, this, &CDlgDebugParameter::reject);
  connect(available_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    _move_item(item, configured_);
    _update_buttons();
  });
  connect(configured_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    _move_item(item, available_);
    _update_buttons();
  });
  connect(available_, &QListWidget::itemSelectionChanged, this, &CDlgDebugParameter::_update_buttons);
  connect(configured_, &QListWidget::itemSelectionChanged, this, &CDlgDebugParameter::_update_buttons);

  _fill(QuillogGetFeatureLevel());
}

void CDlgDebugParameter::_fill(uint32_t mask) {
  size_t count = 0;
  const QuillogFeatureName* features = QuillogFeatureNames(&count);
  for (size_t i = 0; i < count; ++i) {
    auto* item = new QListWidgetItem(QString::fromWCharArray(features[i].name));
    item->setData(kBitRole, features[i].bit);
    item->setData(kOrderRole, static_cast<int>(i));
    QListWidget* list = (mask & features[i].bit) != 0 ? configured_ : available_;
    list->addItem(item);
    if (item->listWidget() != list) {
      QuillogW(QUILLOG_ERROR, 0, L"CDlgDebugParameter::OnInitDialog() : Unable to add string %s", features[i].name);
    }
  }
  _update_buttons();
}

uint32_t CDlgDebugParameter::ConfiguredMask() const {
  uint32_t mask = 0;
  for (int i = 0; i < configured_->count(); ++i) mask |= configured_->item(i)->data(kBitRole).toUInt();
  return mask;
}

void CDlgDebugParameter::accept() {
  const uint32_t mask = ConfiguredMask();
  QuillogSetFeatureLevel(mask);
  WriteSettingDword(SETTING_VIEW_LOGS_LOG_LEVEL, -1, mask);
  QDialog::accept();
}

void CDlgDebugParameter::_move(QListWidget* from, QListWidget* to, bool all) {
  const QList<QListWidgetItem*> items =
      all ? from->findItems(QStringLiteral("*"), Qt::MatchWildcard) : from->selectedItems();
  for (QListWidgetItem* item : items) _move_item(item, to);
  _update_buttons();
}

// Keeps the target list in the features' own order.
void CDlgDebugParameter::_move_item(QListWidgetItem* item, QListWidget* to) {
  if (item == nullptr) return;
  QListWidget* from = item->listWidget();
  if (from == nullptr || from == to) return;
  from->takeItem(from->row(item));
  item->setSelected(false);
  const int order = item->data(kOrderRole).toInt();
  int row = 0;
  while (row < to->count() && to->item(row)->data(kOrderRole).toInt() < order) ++row;
  to->insertItem(row, item);
}

void CDlgDebugParameter::_update_buttons() {
  add_->setEnabled(!available_->selectedItems().isEmpty());
  remove_->setEnabled(!configured_->selectedItems().isEmpty());
  all_->setEnabled(available_->count() > 0);
  none_->setEnabled(configured_->count() > 0);
}
