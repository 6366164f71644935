// Any datagram handed to the agent engine: answered or dropped, never a
// crash; an answer is one whole BER message within the datagram limit; an
// answer with an error status leaves every value as it was; and the value
// list keeps its size and valid texts.
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "simulator/SimulatorEntry.h"
#include "simulator/ThreadActionSimuler.h"
#include "snmp/SnmpResponseIn.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

CSimulatorEntry* Simulator() {
  static CSimulatorEntry* simulator = [] {
    auto* s = new CSimulatorEntry;
    s->kind = CSimulatorEntry::KindSimulator;
    s->AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"fuzzed agent");
    s->AddValue(L"1.3.6.1.2.1.1.2.0", L"Object Identifier", L"1.3.6.1.4.1.1");
    s->AddValue(L"1.3.6.1.2.1.1.3.0", L"TimeTicks", L"42");
    s->AddValue(L"1.3.6.1.2.1.1.7.0", L"Integer", L"72");
    s->AddValue(L"1.3.6.1.2.1.4.20.1.1.10.0.0.1", L"IP Address", L"10.0.0.1");
    s->AddValue(L"1.3.6.1.2.1.31.1.1.1.6.1", L"Counter64", L"18446744073709551615");
    s->AddValue(L"1.3.6.1.4.1.1.1", L"Null", L"");
    return s;
  }();
  return simulator;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CThreadActionSimuler* engine = [] {
    auto* e = new CThreadActionSimuler;
    e->Configure(true, true, L"public", Simulator());
    return e;
  }();
  CBerDecoder decoder;
  if (size > CBerDecoder::GetCapacity() || !decoder.Assign(data, static_cast<uint32_t>(size))) return 0;
  std::vector<uint8_t> shortcut;
  const bool fast = engine->AnswerFast(data, static_cast<uint32_t>(size), &shortcut);
  std::vector<std::wstring> before;
  {
    auto lock = Simulator()->LockValues();
    for (const CSimulatorValue& value : Simulator()->values) before.push_back(value.value);
  }
  CBerEncoder answer;
  const bool full = engine->HandleDatagram(decoder, answer);
  if (full && (answer.GetUsedLength() == 0 || answer.GetUsedLength() > BER_BUFFER_SIZE)) std::abort();
  if (full) {
    CBerDecoder back;
    if (!back.Assign(answer.GetData(), answer.GetUsedLength()) || !back.CheckLayout()) std::abort();
    // Answers that carry a binding read as a response; one with an error changed nothing.
    CSnmpGetResponseIn response;
    if (DecodeDatagram(back, response) && response.GetErrorStatus()->GetValue().GetInteger() != 0) {
      auto lock = Simulator()->LockValues();
      for (size_t i = 0; i < before.size() && i < Simulator()->values.size(); ++i) {
        if (Simulator()->values[i].value != before[i]) std::abort();
      }
    }
  }
  // The shortcut answers exactly what the full path answers.
  if (fast &&
      (!full || shortcut != std::vector<uint8_t>(answer.GetData(), answer.GetData() + answer.GetUsedLength()))) {
    std::abort();
  }
  if (Simulator()->GetValueCount() != 7) std::abort();
  // A Set never stores a text its value's type cannot hold.
  auto lock = Simulator()->LockValues();
  for (const CSimulatorValue& value : Simulator()->values) {
    if (!CSimulatorEntry::CheckValueText(value.type, value.value).empty()) std::abort();
  }
  return 0;
}
