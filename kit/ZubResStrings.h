// The compiled-in string table (kit/ZubResStrings.cpp).
#pragma once

#include <cstddef>

#include "kit/ZubRes.h"

const ZubResEntry* ZubResStringTable(size_t* count);
