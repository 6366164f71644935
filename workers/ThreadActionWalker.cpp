#include "workers/ThreadActionWalker.h"

#include "app/MessageCenter.h"
#include "snmp/SnmpGetBulkRequestOut.h"
#include "snmp/SnmpGetBulkResponseIn.h"
#include "snmp/SnmpGetNextRequestOut.h"
#include "snmp/SnmpGetNextResponseIn.h"
#include "workers/WalkerResult.h"

#include <algorithm>
#include <limits>

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

void CThreadActionWalker::_on_start() { m_outbox.Begin(); }

void CThreadActionWalker::_reset_counters() {
  CThreadActionWalkerRequest::_reset_counters();
  m_row = 0;
}

uint32_t CThreadActionWalker::_started_code() const { return MSG_VIEW_WALKER_STARTED; }
uint32_t CThreadActionWalker::_finished_code() const { return MSG_VIEW_WALKER_FINISHED; }

std::unique_ptr<CSnmpFrameOut> CThreadActionWalker::_new_request() const {
  if (_bulk()) return std::make_unique<CSnmpGetBulkRequestOut>();
  return std::make_unique<CSnmpGetNextRequestOut>();
}

std::unique_ptr<CSnmpResponseIn> CThreadActionWalker::_new_response() const {
  if (_bulk()) return std::make_unique<CSnmpGetBulkResponseIn>();
  return std::make_unique<CSnmpGetNextResponseIn>();
}

const wchar_t* CThreadActionWalker::_encode_error() const {
  return _bulk() ? L"Unable to encode SnmpGetBulk PDU" : L"Unable to encode SnmpGetNext PDU";
}

// max-repetitions is an INTEGER (0..2147483647).
int64_t CThreadActionWalker::_repetitions() const {
  return std::min<int64_t>(m_parameter.max_repetitions, std::numeric_limits<int32_t>::max());
}

void CThreadActionWalker::_fill_request(CSnmpFrameOut& request) const {
  if (!_bulk()) return;
  request.SetInteger(L"NonRepeaters", 0, true);
  request.SetInteger(L"MaxRepetitions", _repetitions(), true);
}

bool CThreadActionWalker::_request_fields(SnmpRequestFields& fields) const {
  fields.pdu_code = _bulk() ? ASN1_PDU_GET_BULK_REQUEST : ASN1_PDU_GET_NEXT_REQUEST;
  fields.error_status = 0;
  fields.error_index = _bulk() ? _repetitions() : 0;
  return true;
}

void CThreadActionWalker::OnAction(uint32_t, uintptr_t, uintptr_t, uintptr_t) {
  Trace(TRACE_LIFE, L"Running...");
  m_end = End::Failed;
  m_parameter.current_oid = StepBack(m_parameter.current_oid);
  if (!SendRequest()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
    return;
  }
  if (_bulk()) {
    _walk_bulk();
    return;
  }
  _walk_next();
}

void CThreadActionWalker::_walk_bulk() {
  while (true) {
    CSnmpGetBulkResponseIn answer;
    if (!AwaitAnswer(answer) || !_hand_over_bulk(answer)) return;
    if (!SendRequest()) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
      return;
    }
  }
}

// The next request goes out as soon as the answer is judged: the agent works
// on it while the row is handed over.
void CThreadActionWalker::_walk_next() {
  while (true) {
    CSnmpGetNextResponseIn answer;
    if (!AwaitAnswer(answer)) return;
    const CAsn1Oid& oid = answer.GetName()->GetValue().GetOid();
    if (_ends_on_status(answer, oid)) return;
    const Step step = _judge(oid, *answer.GetValue());
    if (step == Step::End) return;
    const bool sent = step == Step::ShowLast || SendRequest();
    if (step != Step::Skip) _hand(oid, *answer.GetValue());
    if (step == Step::ShowLast) return;
    if (!sent) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to send data");
      return;
    }
  }
}

bool CThreadActionWalker::_ends_on_status(const CSnmpResponseIn& frame, const CAsn1Oid& oid) {
  // noSuchName from an SNMPv1 agent ends the walk without a message; any
  // other error status ends it with one.
  const int64_t status = frame.GetErrorStatus()->GetValue().GetInteger();
  if (status == 0) return false;
  if (status == SNMP_ERROR_NO_SUCH_NAME && frame.IsVersion1()) {
    m_end = End::Complete;
    return true;
  }
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"The walk ends on error status %s at OID %s", frame.GetErrorStatusName(),
           oid.GetText());
  m_end = End::ErrorStatus;
  return true;
}

bool CThreadActionWalker::_hand_over_bulk(CSnmpGetBulkResponseIn& frame) {
  const auto& names = frame.GetNames();
  const auto& values = frame.GetValues();
  if (_ends_on_status(frame, names.empty() ? m_parameter.current_oid : names.front()->GetValue().GetOid()))
    return false;
  // Asking the same again would get the same nothing.
  if (names.empty()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The agent answered a GetBulk of %s with no variable, the walk ends",
             m_parameter.current_oid.GetText());
    m_end = End::NotIncreasing;
    return false;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (!_take(*names[i], *values[i])) return false;
  }
  return true;
}

bool CThreadActionWalker::_take(const CAsn1Object& name, const CAsn1Object& value) {
  const CAsn1Oid& oid = name.GetValue().GetOid();
  const Step step = _judge(oid, value);
  if (step == Step::End) return false;
  if (step != Step::Skip) _hand(oid, value);
  return step != Step::ShowLast;
}

CThreadActionWalker::Step CThreadActionWalker::_judge(const CAsn1Oid& oid, const CAsn1Object& value) {
  if (value.GetCode() == ASN1_END_OF_MIB_VIEW) {
    m_end = End::Complete;
    return Step::End;
  }
  // An agent that does not move forward (the same OID, a smaller one, a
  // cycle) would make the walk go on for ever.
  if (oid <= m_parameter.current_oid) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"OID not increasing: the agent answered %s to a GetNext of %s, the walk ends",
             oid.GetText(), m_parameter.current_oid.GetText());
    m_end = End::NotIncreasing;
    return Step::End;
  }
  m_parameter.current_oid = oid;
  // The step back of the first OID may land on variables before it.
  if (oid < m_parameter.first_oid) return Step::Skip;
  const bool finished = !m_parameter.last_oid.IsEmpty() && oid >= m_parameter.last_oid;
  if (!finished) return Step::Show;
  m_end = End::Complete;
  return m_parameter.last_excluded ? Step::End : Step::ShowLast;
}

void CThreadActionWalker::_hand(const CAsn1Oid& oid, const CAsn1Object& value) {
  _hand_row(m_outbox, MSG_VIEW_WALKER_DATA, std::make_unique<CWalkerResult>(m_row++, oid, value));
}
