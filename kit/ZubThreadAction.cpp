#include "kit/ZubThreadAction.h"

CZubThreadAction::~CZubThreadAction() = default;
