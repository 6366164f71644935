// Ids of the program's string table (texts in kit/ZubResStrings.cpp).
// Each area keeps its ids in its own range.
#pragma once

#include <cstdint>

// 100-199: runtime kit
inline constexpr uint32_t IDS_ZUB_WARNING_CAPTION = 100;   // "Warning"
inline constexpr uint32_t IDS_ZUB_THREAD_POOL_NAME = 101;  // "Thread pool #%d"
