#include <gtest/gtest.h>

#include <set>

#include "tests/common/LogCapture.h"
#include "workers/ThreadActionWalkerParameter.h"

namespace {

TEST(WalkerParameter, AssignmentCopiesTheRequestAndDrawsANewId) {
  CThreadActionWalkerParameter a;
  a.retries = 4;
  a.timeout = 1500;
  a.version = 1;
  a.community = L"tumbol";
  a.port = 1161;
  a.address = 0x7F000001;
  a.FirstOid(L"1.3.6.1.2.1.1");
  a.last_oid = CAsn1Oid(L"1.3.6.1.2.1.2");
  a.view_row = 9;
  a.value = L"v";
  a.timeout_count = 2;
  a.current_oid = CAsn1Oid(L"1.3.6.1.2.1.1.5.0");

  CThreadActionWalkerParameter b;
  b = a;
  EXPECT_EQ(b.retries, 4u);
  EXPECT_EQ(b.timeout, 1500u);
  EXPECT_EQ(b.version, 1u);
  EXPECT_EQ(b.community, L"tumbol");
  EXPECT_EQ(b.port, 1161u);
  EXPECT_EQ(b.address, 0x7F000001u);
  EXPECT_EQ(b.first_oid.GetText(), L"1.3.6.1.2.1.1");
  EXPECT_EQ(b.last_oid.GetText(), L"1.3.6.1.2.1.2");
  EXPECT_EQ(b.view_row, 9u);
  EXPECT_EQ(b.value, L"v");
  EXPECT_EQ(b.timeout_count, 0u);                        // not copied
  EXPECT_EQ(b.current_oid.GetText(), L"1.3.6.1.2.1.1");  // the first OID, not a's current
  EXPECT_NE(b.next_request_id, a.next_request_id);

  CThreadActionWalkerParameter empty;
  b = empty;
  EXPECT_EQ(b.first_oid.GetText(), L"0.0");
  EXPECT_EQ(b.current_oid.GetText(), L"0.0");
  EXPECT_TRUE(b.last_oid.IsEmpty());
}

TEST(WalkerParameter, RequestIdsAreConsecutiveWithinARunAndFreshAcrossRuns) {
  CThreadActionWalkerParameter p;
  p.next_request_id = 0xFFFFFFFFu;
  EXPECT_EQ(p.TakeRequestId(), 0xFFFFFFFFu);
  EXPECT_EQ(p.TakeRequestId(), 0u);  // wraps
  EXPECT_EQ(p.TakeRequestId(), 1u);
  std::set<uint32_t> ids;
  for (int i = 0; i < 1000; ++i) ids.insert(CThreadActionWalkerParameter::NewRequestId());
  EXPECT_GT(ids.size(), 990u);
}

TEST(WalkerParameter, ClearAndFirstOid) {
  CThreadActionWalkerParameter p;
  p.retries = 3;
  p.community = L"c";
  p.FirstOid(L"1.3.6");
  const uint32_t id = p.next_request_id;
  p.Clear();
  EXPECT_EQ(p.retries, 0u);
  EXPECT_TRUE(p.community.empty());
  EXPECT_TRUE(p.first_oid.IsEmpty());
  EXPECT_TRUE(p.current_oid.IsEmpty());
  EXPECT_NE(p.next_request_id, id);

  p.FirstOid(L"1.3.6.1.2.1.1.1.0");
  LogCapture log(0);
  p.FirstOid(nullptr);
  EXPECT_EQ(p.first_oid.GetText(), L"1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(p.current_oid.GetText(), L"1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(log.CountContaining(L"NULL parameter in CThreadActionWalkerParameter::FirstOid()", QUILLOG_ERROR), 1u);
}

}  // namespace
