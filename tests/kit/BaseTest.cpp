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

#include <atomic>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

constexpr uint32_t Status(int s) { return static_cast<uint32_t>(s); }

std::string Repeat(const char* piece, int times) {
  std::string s;
  while (times-- > 0) s += piece;
  return s;
}

TEST(KitCounter, TracksCurrentMaximumAndMinimum) {
  CZubCounter counter;
  counter.Raise();
  counter.Raise();
  counter.Set(-3);
  counter.Lower();
  EXPECT_EQ(std::make_tuple(counter.GetCurrent(), counter.GetMaximum(), counter.GetMinimum()),
            std::make_tuple(-4, 2, -4));
}

TEST(KitCounter, ConcurrentRaisesAndLowersLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kSteps = 500000;
  CZubCounter counter;
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      ++ready;
      while (ready < kThreads) std::this_thread::yield();
      for (int i = 0; i < kSteps; ++i) {
        counter.Raise();
        counter.Lower();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter.GetCurrent(), 0);
  EXPECT_GE(counter.GetMaximum(), 1);
  EXPECT_LE(counter.GetMaximum(), kThreads);
  EXPECT_EQ(counter.GetMinimum(), 0);
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
  ZubCounterMemoryBlocks().Reset();
  EXPECT_EQ(Thrown([] { Free(nullptr); }), L"Try to free a NULL pointer");
  const long zero = log.IndexOf(L"freeing a memory bloc but 0 bloc allocated");
  ASSERT_GE(zero, 0);
  EXPECT_LT(zero, log.IndexOf(L"An exception is raised : [Try to free a NULL pointer]"));
  EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), 0);
}

TEST(KitException, FormatsItsArgumentsAndLogsTheMessage) {
  LogCapture log;
  EXPECT_EQ(Thrown([] { throw new CZubException(L"Value %d of %s from %S", 42, std::wstring(L"wide"), "narrow"); }),
            L"Value 42 of wide from narrow");
  EXPECT_TRUE(log.Has(L"An exception is raised : [Value 42 of wide from narrow]", QUILLOG_ERROR));
}

TEST(KitCriticalSection, IsRecursiveExcludesOtherThreadsAndIsReleased) {
  LogCapture log;
  CZubCriticalSection section(L"test section");
  EXPECT_EQ(section.GetLastEnterTick(), 0xFFFFFFFFu);
  {
    CZubLock outer(section);
    {
      CZubLock inner(&section);  // the owner may enter again
      EXPECT_NE(section.GetLastEnterTick(), 0xFFFFFFFFu);
    }
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
  struct Case {
    uint32_t result, count, status;
    int index;
  };
  const Case cases[] = {
      {0, 1, Status(ZubWaitSignaled), 0},
      {2, 3, Status(ZubWaitSignaled), 2},
      {258, 1, Status(ZubWaitTimeout), -1},
      {0xFFFFFFFFu, 1, Status(ZubWaitFailed), -1},
      {128, 1, Status(ZubWaitAbandoned), 0},
      // The abandoned second object and an index past the count are unknown.
      {129, 2, Status(ZubWaitUnknown), -1},
      {1, 1, Status(ZubWaitUnknown), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    EXPECT_EQ(handle.TranslateWaitResult(c.result, c.count), c.status);
    EXPECT_EQ(handle.GetWaitStatus(), c.status);
    EXPECT_EQ(handle.GetSignaledIndex(), c.index);
  }
  EXPECT_TRUE(log.Has(L"Unknown return (0x00000081) of WaitForSingleObject() call", QUILLOG_WARNING));
}

// Invalid values are kept without counting; overwriting a valid one closes it.
TEST(KitHandle, SetHandleCountsOnlyValidHandles) {
  LogCapture log;
  const int32_t before = ZubCounterHandles().GetCurrent();
  for (ZubHandleValue value : {ZubHandleValue{0}, ZUB_INVALID_HANDLE}) {
    CZubHandle handle(L"h");
    handle.SetHandle(value);
    EXPECT_EQ(ZubCounterHandles().GetCurrent(), before);
    EXPECT_FALSE(handle.Close());
    EXPECT_EQ(handle.WaitFor(0), Status(ZubWaitFailed));
  }
  CZubEvent first(L"first", false);
  const ZubHandleValue old = first.GetHandle();
  first.SetHandle(0);
  EXPECT_TRUE(log.Has(L"Loosing a handle when overwritting it", QUILLOG_WARNING));
  EXPECT_EQ(ZubCounterHandles().GetCurrent(), before);
  EXPECT_FALSE(ZubCloseHandle(old));  // already closed, never re-used
}

TEST(KitEvent, PulseReleasesOnlyWaitingThreadsAndClosedEventRefuses) {
  CZubEvent event(L"pulse", false);
  EXPECT_TRUE(event.Notify());  // nobody waits: nothing is kept
  EXPECT_EQ(event.WaitFor(0), Status(ZubWaitTimeout));
  std::atomic<bool> waiting{false};
  auto waiter = std::async(std::launch::async, [&] {
    waiting = true;
    return ZubWaitForSingleObject(event.GetHandle(), 10000);
  });
  ASSERT_TRUE(WaitUntil([&] { return waiting.load(); }));
  // Pulse until the waiter has been released (it may not be waiting yet).
  ASSERT_TRUE(WaitUntil([&] {
    event.Notify();
    return waiter.wait_for(std::chrono::milliseconds(5)) == std::future_status::ready;
  }));
  EXPECT_EQ(waiter.get(), ZUB_WAIT_OBJECT_0);
  EXPECT_EQ(event.WaitFor(0), Status(ZubWaitTimeout));

  LogCapture log;  // a closed event refuses both
  EXPECT_TRUE(event.Close());
  EXPECT_TRUE(event.Close());
  EXPECT_FALSE(event.Notify());
  EXPECT_TRUE(log.Has(L"Error while notifying a NULL event", QUILLOG_ERROR));
  EXPECT_EQ(event.WaitFor(0), Status(ZubWaitFailed));
}

TEST(KitIocp, PacketsComeOutInOrderAndTimeOut) {
  LogCapture log;
  CZubIocp port(L"port");
  ASSERT_TRUE(port.IsValid());
  EXPECT_TRUE(port.Post(1, 2, 3));
  EXPECT_TRUE(port.Post(4, 5, 6, 1117));
  uint32_t bytes = 0, error = 0;
  uintptr_t key = 0, overlapped = 0;
  EXPECT_TRUE(port.Dequeue(0, &bytes, &key, &overlapped, &error));
  EXPECT_EQ(std::make_tuple(bytes, key, overlapped), std::make_tuple(1u, uintptr_t{2}, uintptr_t{3}));
  EXPECT_FALSE(port.Dequeue(0, &bytes, &key, &overlapped, &error));
  EXPECT_EQ(std::make_tuple(error, overlapped), std::make_tuple(1117u, uintptr_t{6}));
  EXPECT_FALSE(port.Dequeue(20, &bytes, &key, &overlapped, &error));
  EXPECT_EQ(error, ZUB_WAIT_TIMEOUT);

  // A close wakes a blocked dequeue.
  const ZubHandleValue handle = port.GetHandle();
  auto blocked = std::async(std::launch::async, [&] {
    uint32_t b = 0, e = 0;
    uintptr_t k = 0, o = 0;
    return port.Dequeue(ZUB_INFINITE, &b, &k, &o, &e) ? 0u : e;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(ZubCloseHandle(handle));
  ASSERT_EQ(blocked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_NE(blocked.get(), 0u);
  EXPECT_FALSE(port.Close());  // the handle is gone already
  EXPECT_TRUE(log.Has(L"Error when closing a handle", QUILLOG_ERROR));
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
    EXPECT_EQ(std::string(result), Repeat("\xC3\xA9", 512));
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
  EXPECT_TRUE(log.Has(L"Bad parameter in CZubConvertor::Unicode2Utf8()", QUILLOG_ERROR));
  ASSERT_NE(result, nullptr);
  EXPECT_STREQ(result, "");

  const wchar_t odd[] = {L'A', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x1F600), 0};
  struct Case {
    const wchar_t* text;
    int length;
    uint32_t code_page;
    const char* utf8;
  };
  const Case cases[] = {
      {L"", -1, ZUB_CP_UTF8, ""},
      {odd, -1, ZUB_CP_UTF8, "A\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {L"abc", 2, ZUB_CP_UTF8, "ab"},
      {L"\u00E9\u00FF\u20AC", -1, ZUB_CP_ACP, "\xE9\xFF?"},  // Latin-1 up to U+00FF
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(convertor.Unicode2Utf8(c.text, &result, c.length, c.code_page)) << c.utf8;
    EXPECT_STREQ(result, c.utf8);
  }
  EXPECT_FALSE(convertor.Unicode2Utf8(L"x", &result, -1, 1200));
  EXPECT_TRUE(log.Has(L"Error 0x00000057 in CZubConvertor::Unicode2Utf8()", QUILLOG_ERROR));
}

TEST(KitRes, StringsAreFormattedFromTheTableAndCut) {
  LogCapture log;
  EXPECT_EQ(CZubRes::String(IDS_ZUB_THREAD_POOL_NAME, 3), L"Thread pool #3");
  EXPECT_EQ(CZubRes::String(987654, 1), L"String not loaded");
  EXPECT_TRUE(log.Has(L"An error while loading the String ressource 987654 from the exe file", QUILLOG_ERROR));
  CZubRes::AddString(987655, L"%s has %d items");
  EXPECT_EQ(CZubRes::String(987655, L"list", 2), L"list has 2 items");
  // A mismatched argument shows a marker, never undefined behaviour.
  EXPECT_NE(CZubRes::String(987655, 5, L"x"), L"");

  // Cut at 1023 characters.
  CZubRes::AddString(987657, std::wstring(1500, L'y').c_str());
  EXPECT_EQ(CZubRes::String(987657), std::wstring(1023, L'y'));
  EXPECT_TRUE(log.Has(L"The size of the buffer to read strings is too short", QUILLOG_ERROR));
}

}  // namespace
