#include "workers/ThreadActionWalkerParameter.h"

#include "quillog/Quillog.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

CThreadActionWalkerParameter::CThreadActionWalkerParameter() { Clear(); }

CThreadActionWalkerParameter::CThreadActionWalkerParameter(const CThreadActionWalkerParameter& other) { *this = other; }

CThreadActionWalkerParameter& CThreadActionWalkerParameter::operator=(const CThreadActionWalkerParameter& other) {
  if (this == &other) return *this;
  Clear();
  retries = other.retries;
  timeout = other.timeout;
  version = other.version;
  community = other.community;
  port = other.port;
  address = other.address;
  first_oid = other.first_oid;
  last_oid = other.last_oid;
  last_excluded = other.last_excluded;
  view_row = other.view_row;
  value = other.value;
  max_repetitions = other.max_repetitions;
  if (first_oid.IsEmpty()) first_oid = CAsn1Oid(L"0.0");
  current_oid = first_oid;
  return *this;
}

void CThreadActionWalkerParameter::Clear() {
  retries = timeout = version = port = address = view_row = timeout_count = max_repetitions = 0;
  community.clear();
  value.clear();
  first_oid.Clear();
  last_oid.Clear();
  last_excluded = false;
  current_oid.Clear();
  next_request_id = NewRequestId();
}

void CThreadActionWalkerParameter::FirstOid(const wchar_t* text) {
  if (text == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"NULL parameter in CThreadActionWalkerParameter::FirstOid()");
    return;
  }
  first_oid = CAsn1Oid(text);
  current_oid = first_oid;
}

void CThreadActionWalkerParameter::Subtree(const CAsn1Oid& root) {
  if (root.IsEmpty()) return;
  first_oid = root;
  current_oid = root;
  // The next arc after the root's last one that can grow; 1.3.6.1.2.1.1
  // ends at 1.3.6.1.2.1.2.
  std::vector<uint64_t> arcs = root.GetArcs();
  while (!arcs.empty() && arcs.back() == UINT64_MAX) arcs.pop_back();
  if (!arcs.empty()) ++arcs.back();
  last_oid = CAsn1Oid(std::move(arcs));
  last_excluded = true;
}

uint32_t CThreadActionWalkerParameter::NewRequestId() {
  try {
    std::random_device device;
    return static_cast<uint32_t>(device());
  } catch (...) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"An error while using UuidCreate()");
    thread_local std::mt19937 fallback(
        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return static_cast<uint32_t>(fallback());
  }
}
