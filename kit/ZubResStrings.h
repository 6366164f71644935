// The compiled-in string table (kit/ZubResStrings.cpp).
#pragma once

#include "kit/ZubRes.h"

#include <cstddef>

const ZubResEntry* ZubResStringTable(size_t* count);
