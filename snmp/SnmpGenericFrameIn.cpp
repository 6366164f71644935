#include "snmp/SnmpGenericFrameIn.h"

CSnmpGenericFrameIn::CSnmpGenericFrameIn() = default;

CSnmpGenericFrameIn::~CSnmpGenericFrameIn() = default;

// Any version is accepted here; the user checks it.
bool CSnmpGenericFrameIn::Decode() { return _decode_header(false); }
