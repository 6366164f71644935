#include "gui/DlgDebugParameter.h"

#include "app/Settings.h"
#include "quillog/Quillog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

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
      m_available(MakeList(this)),
      m_configured(MakeList(this)),
      m_add(new QPushButton(QStringLiteral(">>"), this)),
      m_remove(new QPushButton(QStringLiteral("<<"), this)),
      m_all(new QPushButton(QStringLiteral("All"), this)),
      m_none(new QPushButton(QStringLiteral("None"), this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Debug parameters"));

  auto* moves = new QVBoxLayout;
  moves->addStretch();
  for (QPushButton* button : {m_add, m_remove, m_all, m_none}) moves->addWidget(button);
  moves->addStretch();

  auto* lists = new QGridLayout;
  lists->addWidget(new QLabel(QStringLiteral("Available"), this), 0, 0);
  lists->addWidget(new QLabel(QStringLiteral("Configured"), this), 0, 2);
  lists->addWidget(m_available, 1, 0);
  lists->addLayout(moves, 1, 1);
  lists->addWidget(m_configured, 1, 2);

  auto* closing = new QHBoxLayout;
  closing->addStretch();
  closing->addWidget(m_ok);
  closing->addWidget(m_cancel);
  m_ok->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists);
  layout->addLayout(closing);

  connect(m_add, &QPushButton::clicked, this, [this] { _move(m_available, m_configured, false); });
  connect(m_remove, &QPushButton::clicked, this, [this] { _move(m_configured, m_available, false); });
  connect(m_all, &QPushButton::clicked, this, [this] { _move(m_available, m_configured, true); });
  connect(m_none, &QPushButton::clicked, this, [this] { _move(m_configured, m_available, true); });
  connect(m_ok, &QPushButton::clicked, this, &CDlgDebugParameter::accept);
  connect(m_cancel, &QPushButton::clicked, this, &CDlgDebugParameter::reject);
  connect(m_available, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    _move_item(item, m_configured);
    _update_buttons();
  });
  connect(m_configured, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    _move_item(item, m_available);
    _update_buttons();
  });
  connect(m_available, &QListWidget::itemSelectionChanged, this, &CDlgDebugParameter::_update_buttons);
  connect(m_configured, &QListWidget::itemSelectionChanged, this, &CDlgDebugParameter::_update_buttons);

  _fill(QuillogGetFeatureLevel());
}

void CDlgDebugParameter::_fill(uint32_t mask) {
  size_t count = 0;
  const QuillogFeatureName* features = QuillogFeatureNames(&count);
  for (size_t i = 0; i < count; ++i) {
    auto* item = new QListWidgetItem(QString::fromWCharArray(features[i].name));
    item->setData(kBitRole, features[i].bit);
    item->setData(kOrderRole, static_cast<int>(i));
    QListWidget* list = (mask & features[i].bit) != 0 ? m_configured : m_available;
    list->addItem(item);
    if (item->listWidget() != list) {
      QuillogW(QUILLOG_ERROR, 0, L"CDlgDebugParameter::OnInitDialog() : Unable to add string %s", features[i].name);
    }
  }
  _update_buttons();
}

uint32_t CDlgDebugParameter::ConfiguredMask() const {
  uint32_t mask = 0;
  for (int i = 0; i < m_configured->count(); ++i) mask |= m_configured->item(i)->data(kBitRole).toUInt();
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
  m_add->setEnabled(!m_available->selectedItems().isEmpty());
  m_remove->setEnabled(!m_configured->selectedItems().isEmpty());
  m_all->setEnabled(m_available->count() > 0);
  m_none->setEnabled(m_configured->count() > 0);
}
