// The program's string table. Each area adds its texts here under the ids
// it declares in kit/ZubResIds.h.
#include "kit/ZubResStrings.h"

#include "kit/ZubResIds.h"

namespace {

const ZubResEntry kStrings[] = {
    {IDS_ZUB_WARNING_CAPTION, L"Warning"},
    {IDS_ZUB_THREAD_POOL_NAME, L"Thread pool #%d"},
};

}  // namespace

const ZubResEntry* ZubResStringTable(size_t* count) {
  *count = sizeof(kStrings) / sizeof(kStrings[0]);
  return kStrings;
}
