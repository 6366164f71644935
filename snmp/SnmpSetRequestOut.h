#pragma once

#include "snmp/SnmpFrameOut.h"
