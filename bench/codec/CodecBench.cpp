// Encoding a GetRequest and decoding a Response, with heap allocations per
// message, side by side with Net-SNMP's ASN.1 primitives when available.
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpResponseIn.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <unistd.h>

#ifdef TAVELO_BENCH_NETSNMP
#include "bench/codec/NetSnmpAsn1.h"
#endif

// ---- Allocation counting for the whole binary

namespace {
std::atomic<uint64_t> g_allocations{0};
}

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// snmpd's answer to a v1 GetRequest for sysDescr.0.
const uint8_t kResponse[] = {0x30, 0x38, 0x02, 0x01, 0x00, 0x04, 0x06, 0x70, 0x75, 0x62, 0x6c, 0x69, 0x63, 0xa2, 0x2b,
                             0x02, 0x02, 0x03, 0xea, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x1f, 0x30, 0x1d, 0x06,
                             0x08, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00, 0x04, 0x11, 0x54, 0x61, 0x76, 0x65,
                             0x6c, 0x6f, 0x20, 0x74, 0x65, 0x73, 0x74, 0x20, 0x61, 0x67, 0x65, 0x6e, 0x74};

const CAsn1Oid& SysDescr() {
  static const CAsn1Oid oid(L"1.3.6.1.2.1.1.1.0");
  return oid;
}

class AllocationCounter {
 public:
  explicit AllocationCounter(benchmark::State& state) : m_state(state), m_start(g_allocations.load()) {}
  ~AllocationCounter() {
    const double per = static_cast<double>(g_allocations.load() - m_start) / static_cast<double>(m_state.iterations());
    m_state.counters["allocs/msg"] = per;
  }

 private:
  benchmark::State& m_state;
  uint64_t m_start;
};

// Everything a worker does for one request: build, fill, encode.
void BM_Tavelo_EncodeGetRequest(benchmark::State& state) {
  int64_t id = 0;
  AllocationCounter count(state);
  for (auto _ : state) {
    CSnmpGetRequestOut request;
    request.SetInteger(L"Version", 1, true);
    request.SetText(L"Community", L"public");
    request.SetInteger(L"RequestId", ++id, true);
    request.SetOid(SysDescr());
    CBerEncoder encoder;
    if (!request.Encode(encoder)) state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(encoder.GetData());
  }
}
BENCHMARK(BM_Tavelo_EncodeGetRequest);

// The encoding step alone, on a filled message.
void BM_Tavelo_EncodeOnly(benchmark::State& state) {
  CSnmpGetRequestOut request;
  request.SetInteger(L"Version", 1, true);
  request.SetText(L"Community", L"public");
  request.SetInteger(L"RequestId", 1002, true);
  request.SetOid(SysDescr());
  AllocationCounter count(state);
  for (auto _ : state) {
    CBerEncoder encoder;
    if (!request.Encode(encoder)) state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(encoder.GetData());
  }
}
BENCHMARK(BM_Tavelo_EncodeOnly);

// Receive buffer to frame, as a worker does, and the value's text read.
void BM_Tavelo_DecodeResponse(benchmark::State& state) {
  AllocationCounter count(state);
  for (auto _ : state) {
    CBerDecoder decoder;
    decoder.Assign(kResponse, sizeof(kResponse));
    CSnmpGetResponseIn frame;
    if (!DecodeDatagram(decoder, frame)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(frame.GetValue()->GetText().size());
  }
}
BENCHMARK(BM_Tavelo_DecodeResponse);

#ifdef TAVELO_BENCH_NETSNMP

// Net-SNMP's forward build of the same message with its primitives (the way
// its PDU builder lays out sequences: header first, length patched after).
void BM_NetSnmp_EncodeGetRequest(benchmark::State& state) {
  const netsnmp_oid oid[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
  const unsigned char community[] = "public";
  long id = 0;
  AllocationCounter count(state);
  for (auto _ : state) {
    unsigned char packet[2048];
    size_t left = sizeof(packet);
    unsigned char* p = packet;
    unsigned char* message = p;
    p = asn_build_sequence(p, &left, 0x30, 0);
    const long version = 1;
    p = asn_build_int(p, &left, 0x02, &version, sizeof(version));
    p = asn_build_string(p, &left, 0x04, community, 6);
    unsigned char* pdu = p;
    p = asn_build_sequence(p, &left, 0xA0, 0);
    const long zero = 0;
    ++id;
    p = asn_build_int(p, &left, 0x02, &id, sizeof(id));
    p = asn_build_int(p, &left, 0x02, &zero, sizeof(zero));
    p = asn_build_int(p, &left, 0x02, &zero, sizeof(zero));
    unsigned char* list = p;
    p = asn_build_sequence(p, &left, 0x30, 0);
    unsigned char* binding = p;
    p = asn_build_sequence(p, &left, 0x30, 0);
    p = asn_build_objid(p, &left, 0x06, oid, 9);
    p = asn_build_null(p, &left, 0x05);
    if (p == nullptr) state.SkipWithError("net-snmp build failed");
    size_t dummy = 4;
    asn_build_sequence(binding, &dummy, 0x30, static_cast<size_t>(p - binding - 4));
    dummy = 4;
    asn_build_sequence(list, &dummy, 0x30, static_cast<size_t>(p - list - 4));
    dummy = 4;
    asn_build_sequence(pdu, &dummy, 0xA0, static_cast<size_t>(p - pdu - 4));
    dummy = 4;
    asn_build_sequence(message, &dummy, 0x30, static_cast<size_t>(p - message - 4));
    benchmark::DoNotOptimize(packet);
  }
}
BENCHMARK(BM_NetSnmp_EncodeGetRequest);

// Net-SNMP's parse of the same Response with its primitives, value copied out.
void BM_NetSnmp_DecodeResponse(benchmark::State& state) {
  AllocationCounter count(state);
  for (auto _ : state) {
    unsigned char packet[sizeof(kResponse)];
    std::memcpy(packet, kResponse, sizeof(kResponse));
    size_t left = sizeof(packet);
    unsigned char type = 0;
    unsigned char* p = asn_parse_sequence(packet, &left, &type, 0x30, "message");
    long version = 0;
    p = asn_parse_int(p, &left, &type, &version, sizeof(version));
    unsigned char community[256];
    size_t community_length = sizeof(community);
    p = asn_parse_string(p, &left, &type, community, &community_length);
    p = asn_parse_header(p, &left, &type);
    long id = 0, status = 0, index = 0;
    p = asn_parse_int(p, &left, &type, &id, sizeof(id));
    p = asn_parse_int(p, &left, &type, &status, sizeof(status));
    p = asn_parse_int(p, &left, &type, &index, sizeof(index));
    p = asn_parse_sequence(p, &left, &type, 0x30, "varbinds");
    netsnmp_oid name[128];
    size_t name_length = 128;
    unsigned char value_type = 0;
    size_t value_length = 0;
    unsigned char* value = nullptr;
    p = snmp_parse_var_op(p, name, &name_length, &value_type, &value_length, &value, &left);
    if (p == nullptr || value == nullptr) state.SkipWithError("net-snmp parse failed");
    unsigned char text[2048];
    size_t text_length = sizeof(text);
    size_t value_left = value_length + 2;
    asn_parse_string(value, &value_left, &value_type, text, &text_length);
    benchmark::DoNotOptimize(text_length);
  }
}
BENCHMARK(BM_NetSnmp_DecodeResponse);

#endif

// Console output plus the ratios of each pair (ours / Net-SNMP's).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
  // CPU time: the machine may be shared, wall time then says little.
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const bool plain = run.run_type == Run::RT_Iteration;
      if (plain || run.aggregate_name == "median") m_times[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    Ratio("BM_Tavelo_EncodeGetRequest", "BM_NetSnmp_EncodeGetRequest");
    Ratio("BM_Tavelo_EncodeOnly", "BM_NetSnmp_EncodeGetRequest");
    Ratio("BM_Tavelo_DecodeResponse", "BM_NetSnmp_DecodeResponse");
  }

 private:
  void Ratio(const std::string& ours, const std::string& peer) {
    if (m_times.count(ours) == 0 || m_times.count(peer) == 0 || m_times[peer] <= 0) return;
    std::printf("ratio (CPU time) %s / %s = %.2f\n", ours.c_str(), peer.c_str(), m_times[ours] / m_times[peer]);
  }
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
