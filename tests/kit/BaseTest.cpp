// Counters, memory, exceptions, locks, handles, events, completion queues,
// conversion and the string table.
#include "kit/ZubConvertor.h"
#include "kit/ZubCounter.h"
#include "kit/ZubCriticalSection.h"
#include "kit/ZubEvent.h"
#include "kit/ZubException.h"
#include "kit/ZubMemory.h"
#include "kit/ZubRes.h"
#include "kit/ZubResIds.h"
#include "tests/common/LogCapture.h"
#include "tests/common/Thrown.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

constexpr uint32_t Status(int s) { return static_cast<uint32_t>(s); }

TEST(KitCounter, TracksCurrentMaximumAndMinimumFromManyThreads) {
  CZubCounter counter;
  counter.Raise();
  counter.Raise();
  counter.Set(-3);
  counter.Lower();
  EXPECT_EQ(std::make_tuple(counter.GetCurrent(), counter.GetMaximum(), counter.GetMinimum()),
            std::make_tuple(-4, 2, -4));
  CZubCounter shared;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500000; ++i) {
        shared.Raise();
        shared.Lower();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(std::make_tuple(shared.GetCurrent(), shared.GetMinimum()), std::make_tuple(0, 0));
  EXPECT_LE(shared.GetMaximum(), 4);
}

TEST(KitMemory, BlockCounterAndHeapExceptions) {
  LogCapture log;
  const int32_t before = ZubCounterMemoryBlocks().GetCurrent();
  void* block = Alloc(64);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0xAB, 64);
  EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), before + 1);
  Free(block);
  EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), before);
  EXPECT_EQ(Thrown([] { Alloc(0); }), L"Try to allocate a 0 size pointer");
  EXPECT_TRUE(log.Has(L"An exception is raised : [Try to allocate a 0 size pointer]", QUILLOG_ERROR));
  EXPECT_EQ(Thrown([] { Free(nullptr); }), L"Try to free a NULL pointer");
}

TEST(KitCriticalSection, IsRecursiveExcludesOtherThreadsAndIsReleased) {
  LogCapture log;
  CZubCriticalSection section(L"test section");
  {
    CZubLock outer(section);
    CZubLock inner(&section);  // the owner may enter again
    std::async(std::launch::async, [&] { EXPECT_FALSE(section.TryEnter()); }).get();
  }
  std::async(std::launch::async, [&] {
    EXPECT_TRUE(section.TryEnter());
    section.Leave();
  }).get();
  { CZubLock none(static_cast<CZubCriticalSection*>(nullptr)); }
  EXPECT_TRUE(log.Has(L"Pointer is NULL", QUILLOG_ERROR));
}

TEST(KitHandle, WaitResultsTranslateToStatuses) {
  LogCapture log;
  CZubHandle handle(L"h");
  EXPECT_EQ(handle.GetWaitStatus(), Status(ZubWaitNone));
  const std::tuple<uint32_t, uint32_t, uint32_t, int> cases[] = {
      {0, 1, Status(ZubWaitSignaled), 0},
      {2, 3, Status(ZubWaitSignaled), 2},
      {258, 1, Status(ZubWaitTimeout), -1},
      {0xFFFFFFFFu, 1, Status(ZubWaitFailed), -1},
      {128, 1, Status(ZubWaitAbandoned), 0},
      // The abandoned second object and an index past the count are unknown.
      {129, 2, Status(ZubWaitUnknown), -1},
      {1, 1, Status(ZubWaitUnknown), -1},
  };
  for (const auto& [result, count, status, index] : cases) {
    SCOPED_TRACE(result);
    EXPECT_EQ(handle.TranslateWaitResult(result, count), status);
    EXPECT_EQ(handle.GetWaitStatus(), status);
    EXPECT_EQ(handle.GetSignaledIndex(), index);
  }
}

// Overwriting a valid handle closes it.
TEST(KitHandle, OverwrittenHandleIsClosed) {
  LogCapture log;
  const int32_t before = ZubCounterHandles().GetCurrent();
  CZubEvent first(L"first", false);
  const ZubHandleValue old = first.GetHandle();
  first.SetHandle(0);
  EXPECT_EQ(ZubCounterHandles().GetCurrent(), before);
  EXPECT_FALSE(ZubCloseHandle(old));  // already closed, never re-used
}

TEST(KitConvertor, InlineBufferHoldsUpTo1023Bytes) {
  const int32_t before = ZubCounterMemoryBlocks().GetCurrent();
  {
    CZubConvertor convertor;
    const char* result = nullptr;
    ASSERT_TRUE(convertor.Unicode2Utf8(std::wstring(1023, L'a').c_str(), &result, -1, ZUB_CP_UTF8));
    EXPECT_TRUE(convertor.IsResultInline());
    EXPECT_EQ(std::string(result), std::string(1023, 'a'));
    // Multi-byte characters count in bytes: 512 x 2 = 1024.
    ASSERT_TRUE(convertor.Unicode2Utf8(std::wstring(512, L'\u00E9').c_str(), &result, -1, ZUB_CP_UTF8));
    EXPECT_FALSE(convertor.IsResultInline());
    EXPECT_EQ(std::string(result).size(), 1024u);
    // A heap result replaces the earlier one: never more than one block.
    ASSERT_TRUE(convertor.Unicode2Utf8(std::wstring(1024, L'b').c_str(), &result, -1, ZUB_CP_UTF8));
    EXPECT_EQ(std::string(result), std::string(1024, 'b'));
    EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), before + 1);
  }
  EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), before);
}

TEST(KitConvertor, EdgeInputs) {
  LogCapture log;
  CZubConvertor convertor;
  const char* result = reinterpret_cast<const char*>(1);
  EXPECT_FALSE(convertor.Unicode2Utf8(nullptr, &result, -1, ZUB_CP_UTF8));
  ASSERT_NE(result, nullptr);
  EXPECT_STREQ(result, "");
  const wchar_t odd[] = {L'A', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x1F600), 0};
  const std::tuple<const wchar_t*, int, uint32_t, const char*> cases[] = {
      {L"", -1, ZUB_CP_UTF8, ""},
      {odd, -1, ZUB_CP_UTF8, "A\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {L"abc", 2, ZUB_CP_UTF8, "ab"},
      {L"\u00E9\u00FF\u20AC", -1, ZUB_CP_ACP, "\xE9\xFF?"},  // Latin-1 up to U+00FF
  };
  for (const auto& [text, length, code_page, utf8] : cases) {
    ASSERT_TRUE(convertor.Unicode2Utf8(text, &result, length, code_page)) << utf8;
    EXPECT_STREQ(result, utf8);
  }
  EXPECT_FALSE(convertor.Unicode2Utf8(L"x", &result, -1, 1200));
}

TEST(KitRes, StringsAreFormattedFromTheTableAndCut) {
  LogCapture log;
  EXPECT_EQ(CZubRes::String(IDS_ZUB_THREAD_POOL_NAME, 3), L"Thread pool #3");
  EXPECT_EQ(CZubRes::String(987654, 1), L"String not loaded");
  CZubRes::AddString(987657, std::wstring(1500, L'y').c_str());
  EXPECT_EQ(CZubRes::String(987657), std::wstring(1023, L'y'));  // cut at 1023 characters
}

}  // namespace
