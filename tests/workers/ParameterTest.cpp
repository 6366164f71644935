#include "tests/common/LogCapture.h"
#include "workers/ThreadActionWalkerParameter.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(WalkerParameter, RequestIdsWrapAndAreFreshAcrossParameters) {
  CThreadActionWalkerParameter p;
  p.next_request_id = 0xFFFFFFFFu;
  EXPECT_EQ(p.TakeRequestId(), 0xFFFFFFFFu);
  EXPECT_EQ(p.TakeRequestId(), 0u);
  CThreadActionWalkerParameter copy;
  copy = p;
  EXPECT_NE(copy.next_request_id, p.next_request_id);
  std::set<uint32_t> ids;
  for (int i = 0; i < 1000; ++i) ids.insert(CThreadActionWalkerParameter::NewRequestId());
  EXPECT_GT(ids.size(), 990u);
}

TEST(WalkerParameter, ANullFirstOidIsRefusedAndKeepsTheOldOne) {
  CThreadActionWalkerParameter p;
  p.FirstOid(L"1.3.6.1.2.1.1.1.0");
  LogCapture log(0);
  p.FirstOid(nullptr);
  EXPECT_EQ(p.first_oid.GetText(), L"1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(p.current_oid.GetText(), L"1.3.6.1.2.1.1.1.0");
  EXPECT_EQ(log.CountContaining(L"NULL parameter in CThreadActionWalkerParameter::FirstOid()", QUILLOG_ERROR), 1u);
}

TEST(WalkerParameter, ASubtreeEndsAtTheFirstOidPastItAndSurvivesTheCopy) {
  const struct {
    CAsn1Oid root;
    const wchar_t* last;
  } cases[] = {
      {CAsn1Oid(L"1.3.6.1.2.1.1"), L"1.3.6.1.2.1.2"},
      {CAsn1Oid(L"1.3.6.1.2.1.2.2.1.0"), L"1.3.6.1.2.1.2.2.1.1"},
      {CAsn1Oid{1, 3, 6, UINT64_MAX}, L"1.3.7"},
      {CAsn1Oid{1, 3, UINT64_MAX, UINT64_MAX}, L"1.4"},
  };
  for (const auto& c : cases) {
    CThreadActionWalkerParameter p;
    p.Subtree(c.root);
    CThreadActionWalkerParameter copy;
    copy = p;
    EXPECT_EQ(copy.first_oid, c.root);
    EXPECT_EQ(copy.current_oid, c.root);
    EXPECT_EQ(copy.last_oid.GetText(), c.last) << c.root.GetText();
    EXPECT_TRUE(copy.last_excluded);
    EXPECT_LT(c.root, copy.last_oid);
  }
  CThreadActionWalkerParameter p;
  p.Subtree(CAsn1Oid());
  EXPECT_TRUE(p.last_oid.IsEmpty());
  EXPECT_FALSE(p.last_excluded);
}

}  // namespace
