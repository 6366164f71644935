#include "gui/ViewSimuler.h"

#include <QScrollArea>

#include "app/Settings.h"
#include "gui/ViewSimulerLeft.h"
#include "gui/ViewSimulerSummary.h"
#include "gui/ViewSimulerValue.h"

namespace {

int Stored(uint32_t setting, uint32_t fallback) {
  uint32_t value = ReadSettingDword(setting);
  if (value == 0 || value > 10000) value = fallback;
  return static_cast<int>(value);
}

}  // namespace

CFrameSimuler::CFrameSimuler(CViewDispatcher* dispatcher, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent),
      // The tree first: it owns the library and answers the others' first question.
      left_(new CViewSimulerLeft(dispatcher, this)),
      right_(new QSplitter(Qt::Vertical, this)),
      summary_(new CViewSimulerSummary(dispatcher, &left_->Library(), right_)),
      values_(new CViewSimulerValue(dispatcher, &left_->Library(), right_)) {
  setObjectName(QStringLiteral("CFrameSimuler"));
  setChildrenCollapsible(false);
  right_->setChildrenCollapsible(false);
  addWidget(left_);
  addWidget(right_);
  // The form scrolls rather than widen the main window.
  auto* form = new QScrollArea(right_);
  form->setWidget(summary_);
  form->setWidgetResizable(true);
  form->setFrameShape(QFrame::NoFrame);
  form->setMinimumHeight(summary_->sizeHint().height());
  right_->addWidget(form);
  right_->addWidget(values_);
  setStretchFactor(1, 1);
  right_->setStretchFactor(1, 1);
  setSizes({Stored(SETTING_VIEW_SIMULER_SPLITTER_X, 200), 600});
  right_->setSizes({Stored(SETTING_VIEW_SIMULER_SPLITTER_Y1, 50), Stored(SETTING_VIEW_SIMULER_SPLITTER_Y2, 150)});
  setFocusProxy(left_);
}

CFrameSimuler::~CFrameSimuler() {
  _store_splitters();
  // The form and the list point into the tree's library: they go first.
  delete right_;
}

void CFrameSimuler::_store_splitters() const {
  const QList<int> columns = sizes();
  const QList<int> rows = right_->sizes();
  // A frame never laid out has no sizes worth keeping.
  if (columns.size() == 2 && columns[0] > 0) WriteSettingDword(SETTING_VIEW_SIMULER_SPLITTER_X, -1, columns[0]);
  if (rows.size() == 2 && rows[0] > 0 && rows[1] > 0) {
    WriteSettingDword(SETTING_VIEW_SIMULER_SPLITTER_Y1, -1, rows[0]);
    WriteSettingDword(SETTING_VIEW_SIMULER_SPLITTER_Y2, -1, rows[1]);
  }
}

bool CFrameSimuler::OnCommand(uint32_t command) {
  if (left_->IsCommandEnabled(command)) return left_->OnCommand(command);
  return values_->OnCommand(command);
}

bool CFrameSimuler::IsCommandEnabled(uint32_t command) const {
  return left_->IsCommandEnabled(command) || values_->IsCommandEnabled(command);
}
