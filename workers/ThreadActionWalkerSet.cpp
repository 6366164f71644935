#include "workers/ThreadActionWalkerSet.h"

#include "app/MessageCenter.h"
#include "snmp/SnmpSetRequestOut.h"
#include "snmp/SnmpSetResponseIn.h"

void CThreadActionWalkerSet::OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) {
  _run_single(MSG_VIEW_WALKER_SET_DATA, L"Error '%s' when setting value to OID '%s'");
}

uint32_t CThreadActionWalkerSet::_started_code() const { return MSG_VIEW_WALKER_SET_STARTED; }
uint32_t CThreadActionWalkerSet::_finished_code() const { return MSG_VIEW_WALKER_SET_FINISHED; }

std::unique_ptr<CSnmpFrameOut> CThreadActionWalkerSet::_new_request() const {
  return std::make_unique<CSnmpSetRequestOut>();
}

std::unique_ptr<CSnmpResponseIn> CThreadActionWalkerSet::_new_response() const {
  return std::make_unique<CSnmpSetResponseIn>();
}
