// The empty view a tab shows until its tool's view exists. It takes no
// command, but remembers the ones it was handed.
#pragma once

#include "gui/CommandTarget.h"

#include <QWidget>

#include <vector>

class CViewPlaceholder : public QWidget, public CCommandTarget {
  Q_OBJECT

 public:
  CViewPlaceholder(const QString& name, QWidget* parent = nullptr);

  bool OnCommand(uint32_t command) override;
  bool IsCommandEnabled(uint32_t) const override { return false; }

  const std::vector<uint32_t>& Received() const { return m_received; }

 private:
  std::vector<uint32_t> m_received;
};
