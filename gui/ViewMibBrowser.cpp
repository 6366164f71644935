#include "gui/ViewMibBrowser.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "app/Settings.h"
#include "gui/ViewMibBrowserLeft.h"
#include "gui/ViewMibBrowserRight.h"
#include "smi/SmiTree.h"

namespace {

constexpr size_t kMatchLimit = 200;
constexpr int kNodeRole = Qt::UserRole + 1;

QString MatchText(const CSmiObject& object) {
  QString text = QString::fromStdWString(object.Name());
  if (!object.declarations.empty() && !object.declarations.front().module_name.empty()) {
    text = QString::fromStdWString(object.declarations.front().module_name) + QStringLiteral("::") + text;
  }
  return text + QStringLiteral("  ") + QString::fromStdWString(SmiOidDotted(object.oid));
}

}  // namespace

CViewMibBrowser::CViewMibBrowser(CViewDispatcher* dispatcher, QWidget* parent)
    : CViewMibBrowser(dispatcher, SmiTree(), parent) {}

CViewMibBrowser::CViewMibBrowser(CViewDispatcher* dispatcher, CSmiTree& tree, QWidget* parent)
    : QWidget(parent),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      left_(new CViewMibBrowserLeft(dispatcher, tree)),
      right_(new CViewMibBrowserRight(dispatcher, *left_, tree)),
      search_(new QLineEdit),
      matches_(new QListWidget) {
  setObjectName(QStringLiteral("CViewMibBrowser"));
  search_->setPlaceholderText(QStringLiteral("Search: name, MODULE::name or OID"));
  search_->setClearButtonEnabled(true);
  matches_->setMaximumHeight(160);
  matches_->hide();

  auto* column = new QWidget;
  auto* column_layout = new QVBoxLayout(column);
  column_layout->setContentsMargins(0, 0, 0, 0);
  column_layout->setSpacing(2);
  column_layout->addWidget(search_);
  column_layout->addWidget(matches_);
  column_layout->addWidget(left_, 1);
  splitter_->addWidget(column);
  splitter_->addWidget(right_);
  splitter_->setStretchFactor(1, 1);
  const int width = static_cast<int>(ReadSettingDword(SETTING_VIEW_MIB_BROWSER_SPLITTER_X));
  splitter_->setSizes({width, std::max(width, 400)});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter_);
  setFocusProxy(left_);

  connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) { Search(text); });
  connect(search_, &QLineEdit::returnPressed, this, [this] { ChooseMatch(0); });
  connect(matches_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { ChooseMatch(matches_->row(item)); });
  connect(matches_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { ChooseMatch(matches_->row(item)); });
  // Matches point into the index: a new index makes them stale.
  connect(left_, &CViewMibBrowserLeft::indexChanged, this, [this] { Search(search_->text()); });
  // The modules loaded at the last exit are loaded again.
  QTimer::singleShot(0, left_, [left = left_] { left->OnReload(); });
}

CViewMibBrowser::~CViewMibBrowser() {
  const QList<int> sizes = splitter_->sizes();
  if (!sizes.isEmpty() && sizes.front() > 0) {
    WriteSettingDword(SETTING_VIEW_MIB_BROWSER_SPLITTER_X, -1, static_cast<uint32_t>(sizes.front()));
  }
}

bool CViewMibBrowser::OnCommand(uint32_t command) { return left_->OnCommand(command); }

bool CViewMibBrowser::IsCommandEnabled(uint32_t command) const { return left_->IsCommandEnabled(command); }

void CViewMibBrowser::Search(const QString& text) {
  matches_->clear();
  const CMibTreeIndex& index = left_->Index();
  for (CMibTreeIndex::Node node : index.Search(text.toStdString(), kMatchLimit)) {
    auto* item = new QListWidgetItem(MatchText(*index.Object(node)), matches_);
    item->setData(kNodeRole, node);
  }
  matches_->setVisible(matches_->count() > 0);
}

void CViewMibBrowser::ChooseMatch(int row) {
  const QListWidgetItem* item = matches_->item(row);
  if (item == nullptr) return;
  left_->Reveal(item->data(kNodeRole).toUInt());
  left_->setFocus(Qt::OtherFocusReason);
}
