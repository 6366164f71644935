#pragma once

#include "snmp/SnmpResponseIn.h"
