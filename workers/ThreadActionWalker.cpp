#include "workers/ThreadActionWalker.h"

#include "app/MessageCenter.h"
#include "snmp/SnmpGetNextRequestOut.h"
#include "snmp/SnmpGetNextResponseIn.h"
#include "workers/WalkerResult.h"

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
  m_end = End::Failed;
  m_parameter.current_oid = StepBack(m_parameter.current_oid);
  while (true) {
    if (!SendRequest()) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
      return;
    }
    CSnmpGetNextResponseIn answer;
    if (!AwaitAnswer(answer)) return;
    if (!_hand_over(answer)) return;
  }
}

bool CThreadActionWalker::_hand_over(CSnmpResponseIn& frame) {
  const CAsn1Oid& oid = frame.GetName()->GetValue().GetOid();
  // noSuchName from an SNMPv1 agent and endOfMibView end the walk without a
  // message; any other error status ends it with one.
  const int64_t status = frame.GetErrorStatus()->GetValue().GetInteger();
  if (status != 0) {
    if (status == SNMP_ERROR_NO_SUCH_NAME && frame.IsVersion1()) {
      m_end = End::Complete;
      return false;
    }
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The walk ends on error status %s at OID %s", frame.GetErrorStatusName(),
             oid.GetText());
    m_end = End::ErrorStatus;
    return false;
  }
  if (frame.GetValue()->GetCode() == ASN1_END_OF_MIB_VIEW) {
    m_end = End::Complete;
    return false;
  }
  // An agent that does not move forward (the same OID, a smaller one, a
  // cycle) would make the walk go on for ever.
  if (oid <= m_parameter.current_oid) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"OID not increasing: the agent answered %s to a GetNext of %s, the walk ends",
             oid.GetText(), m_parameter.current_oid.GetText());
    m_end = End::NotIncreasing;
    return false;
  }
  m_parameter.current_oid = oid;
  // The step back of the first OID may land on variables before it.
  if (oid < m_parameter.first_oid) return true;
  auto result = std::make_unique<CWalkerResult>(m_row++, oid, *frame.GetValue());
  const bool finished = !m_parameter.last_oid.IsEmpty() && oid >= m_parameter.last_oid;
  // The view takes the record; nobody took it when no window handled it.
  if (_deliver(MSG_VIEW_WALKER_DATA, reinterpret_cast<uintptr_t>(result.get())) > 0) result.release();
  if (finished) m_end = End::Complete;
  return !finished;
}
