// The walker parameter record: what the walker view fills for a walk, a Get
// or a Set, copied into the worker by Start.
#pragma once

#include "asn1/Asn1Oid.h"

#include <cstdint>
#include <string>

class CThreadActionWalkerParameter {
 public:
  CThreadActionWalkerParameter();
  // Copies as the assignment does (fresh request id, current OID := first).
  CThreadActionWalkerParameter(const CThreadActionWalkerParameter& other);
  // Clear, then copy the request's fields; an empty first OID becomes 0.0,
  // the current OID a copy of the first, the time-out count 0, and the next
  // request id is drawn anew.
  CThreadActionWalkerParameter& operator=(const CThreadActionWalkerParameter& other);

  // All numbers 0, texts and OIDs empty, a new next request id.
  void Clear();
  // Parses the first OID and makes the current OID a copy of it; a null
  // text is logged and changes nothing.
  void FirstOid(const wchar_t* text);
  // The range of a subtree: from its root to the first OID past it, that
  // OID's variable not shown. An empty root changes nothing.
  void Subtree(const CAsn1Oid& root);
  // The id for the request being sent; the next one is one more.
  uint32_t TakeRequestId() { return next_request_id++; }

  // A fresh random 32-bit word.
  static uint32_t NewRequestId();

  uint32_t retries = 0;  // time-outs after which the worker gives up
  uint32_t timeout = 0;  // milliseconds to wait for each answer
  uint32_t version = 0;  // 0 SNMPv1, 1 SNMPv2c
  std::wstring community;
  uint32_t port = 0;
  uint32_t address = 0;  // IPv4, host order
  CAsn1Oid first_oid;
  CAsn1Oid last_oid;           // empty: no limit
  bool last_excluded = false;  // the variable at or past last_oid ends the walk unshown
  uint32_t view_row = 0;
  std::wstring value;  // the value text of a Set
  uint32_t timeout_count = 0;
  CAsn1Oid current_oid;
  uint32_t next_request_id = 0;
  // A walk over SNMPv2c asks GetBulk for this many variables at a time;
  // 0 (and SNMPv1): GetNext, one variable at a time.
  uint32_t max_repetitions = 0;
};
