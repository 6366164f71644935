#include "workers/TrapRecord.h"

#include <atomic>

namespace {

std::atomic<uint64_t> g_trap_counter{0};

}  // namespace

CTrapRecord::CTrapRecord()
    : m_number(g_trap_counter.fetch_add(1)),
      m_time(static_cast<int64_t>(std::time(nullptr))),
      m_frame(std::make_unique<CSnmpTrapIn>()) {}

CTrapRecord::~CTrapRecord() = default;
