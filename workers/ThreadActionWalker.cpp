#include "workers/ThreadActionWalker.h"

#include "app/MessageCenter.h"
#include "snmp/SnmpGetNextRequestOut.h"
#include "snmp/SnmpGetNextResponseIn.h"
#include "workers/WalkerResult.h"

namespace {

// Answers in a row that do not move past the OID asked for.
constexpr uint32_t kMaxStalled = 3;

}  // namespace

CAsn1Oid CThreadActionWalker::StepBack(const CAsn1Oid& oid) {
  std::vector<uint64_t> arcs = oid.GetArcs();
  for (size_t i = arcs.size(); i-- > 0;) {
    if (arcs[i] != 0) {
      --arcs[i];
      break;
    }
  }
  return CAsn1Oid(std::move(arcs));
}

void CThreadActionWalker::_reset_counters() {
  CThreadActionWalkerRequest::_reset_counters();
  m_row = 0;
  m_stalled = 0;
}

uint32_t CThreadActionWalker::_started_code() const { return MSG_VIEW_WALKER_STARTED; }
uint32_t CThreadActionWalker::_finished_code() const { return MSG_VIEW_WALKER_FINISHED; }

std::unique_ptr<CSnmpFrameOut> CThreadActionWalker::_new_request() const {
  return std::make_unique<CSnmpGetNextRequestOut>();
}

std::unique_ptr<CSnmpResponseIn> CThreadActionWalker::_new_response() const {
  return std::make_unique<CSnmpGetNextResponseIn>();
}

void CThreadActionWalker::OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) {
  Trace(TRACE_LIFE, L"Running...");
  m_parameter.current_oid = StepBack(m_parameter.current_oid);
  while (true) {
    if (!SendRequest()) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
      return;
    }
    if (!WaitAnswer()) return;
    CSnmpGetNextResponseIn answer;
    if (!ReceiveResponse(answer)) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to read data");
      return;
    }
    if (!_hand_over(answer)) return;
  }
}

bool CThreadActionWalker::_hand_over(CSnmpResponseIn& frame) {
  // An error status (noSuchName from an SNMPv1 agent) or endOfMibView ends
  // the walk without a message.
  if (frame.GetErrorStatus()->GetValue().GetInteger() != 0) return false;
  if (frame.GetValue()->GetCode() == ASN1_END_OF_MIB_VIEW) return false;
  const CAsn1Oid& oid = frame.GetName()->GetValue().GetOid();
  // An agent that never moves forward would fill the view without end. A
  // late answer to a retry repeats one variable, never several in a row.
  m_stalled = oid <= m_parameter.current_oid ? m_stalled + 1 : 0;
  if (m_stalled >= kMaxStalled) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The agent does not move forward from OID %s: the walk ends", oid.GetText());
    return false;
  }
  m_parameter.current_oid = oid;
  auto result = std::make_unique<CWalkerResult>(m_row++, oid, *frame.GetValue());
  const bool finished = !m_parameter.last_oid.IsEmpty() && oid >= m_parameter.last_oid;
  // The view takes the record; nobody took it when no window handled it.
  if (_deliver(MSG_VIEW_WALKER_DATA, reinterpret_cast<uintptr_t>(result.get())) > 0) result.release();
  return !finished;
}
