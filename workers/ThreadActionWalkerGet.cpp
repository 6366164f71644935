#include "workers/ThreadActionWalkerGet.h"

#include "app/MessageCenter.h"
#include "snmp/SnmpGetRequestOut.h"
#include "snmp/SnmpGetResponseIn.h"

void CThreadActionWalkerGet::OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) {
  _run_single(MSG_VIEW_WALKER_GET_DATA, L"Error '%s' when reading OID '%s'");
}

uint32_t CThreadActionWalkerGet::_started_code() const { return MSG_VIEW_WALKER_GET_STARTED; }
uint32_t CThreadActionWalkerGet::_finished_code() const { return MSG_VIEW_WALKER_GET_FINISHED; }

std::unique_ptr<CSnmpFrameOut> CThreadActionWalkerGet::_new_request() const {
  return std::make_unique<CSnmpGetRequestOut>();
}

std::unique_ptr<CSnmpResponseIn> CThreadActionWalkerGet::_new_response() const {
  return std::make_unique<CSnmpGetResponseIn>();
}
