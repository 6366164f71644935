// A tab's view that takes menu commands. The main frame hands the commands
// it does not handle itself to the view of the active tab.
#pragma once

#include <cstdint>

class CCommandTarget {
 public:
  virtual ~CCommandTarget() = default;
  // Runs the command; false when the view does not know it.
  virtual bool OnCommand(uint32_t command) = 0;
  // Whether the command's menu item and button are enabled now.
  virtual bool IsCommandEnabled(uint32_t command) const = 0;
};
