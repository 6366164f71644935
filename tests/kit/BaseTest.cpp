// Counters, memory, exceptions, names, locks, handles, events, completion
// queues, conversion, the string table and the pointer checks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "kit/ZubConvertor.h"
#include "kit/ZubCounter.h"
#include "kit/ZubCriticalSection.h"
#include "kit/ZubEvent.h"
#include "kit/ZubException.h"
#include "kit/ZubMemory.h"
#include "kit/ZubRes.h"
#include "kit/ZubResIds.h"
#include "tests/kit/LogCapture.h"

namespace {

TEST(KitCounter, TracksCurrentMaximumAndMinimum) {
  CZubCounter counter;
  counter.Raise();
  counter.Raise();
  counter.Set(-3);
  counter.Lower();
  EXPECT_EQ(counter.GetCurrent(), -4);
  EXPECT_EQ(counter.GetMaximum(), 2);
  EXPECT_EQ(counter.GetMinimum(), -4);
  counter.Reset();
  EXPECT_EQ(counter.GetCurrent(), 0);
  EXPECT_EQ(counter.GetMaximum(), 0);
  EXPECT_EQ(counter.GetMinimum(), 0);
}

TEST(KitMemory, AllocAndFreeKeepTheBlockCounter) {
  const int32_t before = ZubCounterMemoryBlocks().GetCurrent();
  void* block = Alloc(64);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0xAB, 64);
  EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), before + 1);
  Free(block);
  EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), before);
}

TEST(KitMemory, ZeroSizeAndNullBlockThrowHeapExceptions) {
  LogCapture log;
  CZubException* caught = nullptr;
  try {
    Alloc(0);
  } catch (CZubException* e) {
    caught = e;
  }
  ASSERT_NE(caught, nullptr);
  EXPECT_EQ(caught->GetMessage(), L"Try to allocate a 0 size pointer");
  delete caught;
  EXPECT_TRUE(log.Has(L"An exception is raised : [Try to allocate a 0 size pointer]", QUILLOG_ERROR));

  ZubCounterMemoryBlocks().Reset();
  caught = nullptr;
  try {
    Free(nullptr);
  } catch (CZubException* e) {
    caught = e;
  }
  ASSERT_NE(caught, nullptr);
  EXPECT_EQ(caught->GetMessage(), L"Try to free a NULL pointer");
  delete caught;
  const long zero = log.IndexOf(L"freeing a memory bloc but 0 bloc allocated");
  const long raised = log.IndexOf(L"An exception is raised : [Try to free a NULL pointer]");
  ASSERT_GE(zero, 0);
  EXPECT_LT(zero, raised);
  EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), 0);
}

TEST(KitException, FormatsItsArgumentsAndLogsTheMessage) {
  LogCapture log;
  CZubException e(L"Value %d of %s from %S", 42, std::wstring(L"wide"), "narrow");
  EXPECT_EQ(e.GetMessage(), L"Value 42 of wide from narrow");
  EXPECT_TRUE(log.Has(L"An exception is raised : [Value 42 of wide from narrow]", QUILLOG_ERROR));
}

TEST(KitCriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CZubCriticalSection section(L"test section");
  EXPECT_EQ(section.GetLastEnterTick(), 0xFFFFFFFFu);
  CZubLock outer(section);
  {
    CZubLock inner(&section);  // the owner may enter again
    EXPECT_NE(section.GetLastEnterTick(), 0xFFFFFFFFu);
  }
  std::async(std::launch::async, [&] { EXPECT_FALSE(section.TryEnter()); }).get();
}

TEST(KitCriticalSection, LockIsReleasedForOtherThreads) {
  CZubCriticalSection section(L"test section");
  { CZubLock lock(section); }
  std::async(std::launch::async, [&] {
    EXPECT_TRUE(section.TryEnter());
    section.Leave();
  }).get();
  LogCapture log;
  { CZubLock none(static_cast<CZubCriticalSection*>(nullptr)); }
  EXPECT_TRUE(log.Has(L"Pointer is NULL", QUILLOG_ERROR));
}

TEST(KitHandle, WaitResultsTranslateToStatuses) {
  LogCapture log;
  CZubHandle handle(L"h");
  EXPECT_EQ(handle.GetWaitStatus(), static_cast<uint32_t>(ZubWaitNone));
  EXPECT_EQ(handle.TranslateWaitResult(0, 1), static_cast<uint32_t>(ZubWaitSignaled));
  EXPECT_EQ(handle.GetSignaledIndex(), 0);
  EXPECT_EQ(handle.TranslateWaitResult(2, 3), static_cast<uint32_t>(ZubWaitSignaled));
  EXPECT_EQ(handle.GetSignaledIndex(), 2);
  EXPECT_EQ(handle.TranslateWaitResult(258, 1), static_cast<uint32_t>(ZubWaitTimeout));
  EXPECT_EQ(handle.GetSignaledIndex(), -1);
  EXPECT_EQ(handle.TranslateWaitResult(0xFFFFFFFFu, 1), static_cast<uint32_t>(ZubWaitFailed));
  EXPECT_EQ(handle.TranslateWaitResult(128, 1), static_cast<uint32_t>(ZubWaitAbandoned));
  EXPECT_EQ(handle.GetSignaledIndex(), 0);
  EXPECT_EQ(log.CountContaining(L"Unknown return"), 0u);

  // The abandoned second object and an index past the count are unknown.
  EXPECT_EQ(handle.TranslateWaitResult(129, 2), static_cast<uint32_t>(ZubWaitUnknown));
  EXPECT_EQ(handle.GetSignaledIndex(), -1);
  EXPECT_TRUE(log.Has(L"Unknown return (0x00000081) of WaitForSingleObject() call", QUILLOG_WARNING));
  EXPECT_EQ(handle.TranslateWaitResult(1, 1), static_cast<uint32_t>(ZubWaitUnknown));
  EXPECT_EQ(handle.GetWaitStatus(), static_cast<uint32_t>(ZubWaitUnknown));
}

TEST(KitHandle, InvalidValuesAreStoredWithoutCounting) {
  LogCapture log;
  const int32_t before = ZubCounterHandles().GetCurrent();
  CZubHandle zero(L"zero");
  zero.SetHandle(0);
  CZubHandle minus(L"minus");
  minus.SetHandle(ZUB_INVALID_HANDLE);
  EXPECT_EQ(minus.GetHandle(), ZUB_INVALID_HANDLE);
  EXPECT_EQ(ZubCounterHandles().GetCurrent(), before);
  EXPECT_FALSE(zero.Close());
  EXPECT_FALSE(minus.Close());
  EXPECT_TRUE(log.Has(L"Handle 'zero' is NULL when closing it, abort", QUILLOG_WARNING));
  EXPECT_TRUE(log.Has(L"Handle 'minus' is NULL when closing it, abort", QUILLOG_WARNING));
  EXPECT_EQ(minus.WaitFor(0), static_cast<uint32_t>(ZubWaitFailed));
}

TEST(KitHandle, OverwritingAValidHandleClosesIt) {
  LogCapture log;
  const int32_t before = ZubCounterHandles().GetCurrent();
  CZubEvent first(L"first", false);
  CZubEvent second(L"second", false);
  EXPECT_EQ(ZubCounterHandles().GetCurrent(), before + 2);
  const ZubHandleValue old = first.GetHandle();
  first.SetHandle(0);
  EXPECT_TRUE(log.Has(L"Loosing a handle when overwritting it", QUILLOG_WARNING));
  EXPECT_EQ(ZubCounterHandles().GetCurrent(), before + 1);
  EXPECT_FALSE(ZubCloseHandle(old));  // already closed, never re-used
  EXPECT_TRUE(second.Close());
  EXPECT_EQ(ZubCounterHandles().GetCurrent(), before);
}

TEST(KitEvent, PulseReleasesOnlyWaitingThreads) {
  CZubEvent event(L"pulse", false);
  EXPECT_TRUE(event.Notify());  // nobody waits: nothing is kept
  EXPECT_EQ(event.WaitFor(0), static_cast<uint32_t>(ZubWaitTimeout));

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
  EXPECT_EQ(event.WaitFor(0), static_cast<uint32_t>(ZubWaitTimeout));
}

TEST(KitEvent, CloseAndDestroyMessages) {
  LogCapture log;
  {
    CZubEvent event(L"ev", true);
    EXPECT_TRUE(event.Close());
    EXPECT_TRUE(event.Close());
    EXPECT_TRUE(log.Has(L"Event ev is already closed", QUILLOG_WARNING));
    EXPECT_FALSE(event.Notify());
    EXPECT_TRUE(log.Has(L"Error while notifying a NULL event", QUILLOG_ERROR));
    EXPECT_EQ(event.WaitFor(0), static_cast<uint32_t>(ZubWaitFailed));
  }
  EXPECT_FALSE(log.Has(L"Destroying an existing event"));
  { CZubEvent open(L"open", false); }
  EXPECT_TRUE(log.Has(L"Destroying an existing event", QUILLOG_WARNING));
  EXPECT_FALSE(log.Has(L"Destroying an existing Handle"));
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
  EXPECT_EQ(bytes, 1u);
  EXPECT_EQ(key, 2u);
  EXPECT_EQ(overlapped, 3u);
  EXPECT_FALSE(port.Dequeue(0, &bytes, &key, &overlapped, &error));
  EXPECT_EQ(error, 1117u);
  EXPECT_EQ(overlapped, 6u);
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
  EXPECT_TRUE(port.Close());
  EXPECT_TRUE(log.Has(L"Iocp port is already closed", QUILLOG_WARNING));
}

TEST(KitConvertor, InlineBufferHoldsUpTo1023Bytes) {
  const int32_t before = ZubCounterMemoryBlocks().GetCurrent();
  const char* result = nullptr;
  {
    CZubConvertor convertor;
    const std::wstring fits(1023, L'a');
    ASSERT_TRUE(convertor.Unicode2Utf8(fits.c_str(), &result, -1, ZUB_CP_UTF8));
    EXPECT_TRUE(convertor.IsResultInline());
    EXPECT_EQ(std::string(result), std::string(1023, 'a'));
    EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), before);

    const std::wstring over(1024, L'b');
    ASSERT_TRUE(convertor.Unicode2Utf8(over.c_str(), &result, -1, ZUB_CP_UTF8));
    EXPECT_FALSE(convertor.IsResultInline());
    EXPECT_EQ(std::string(result), std::string(1024, 'b'));
    EXPECT_EQ(ZubCounterMemoryBlocks().GetCurrent(), before + 1);

    // Multi-byte characters count in bytes: 341 x 3 = 1023, 512 x 2 = 1024.
    const std::wstring euros(341, L'\u20AC');
    ASSERT_TRUE(convertor.Unicode2Utf8(euros.c_str(), &result, -1, ZUB_CP_UTF8));
    EXPECT_TRUE(convertor.IsResultInline());
    EXPECT_EQ(std::strlen(result), 1023u);
    const std::wstring accents(512, L'\u00E9');
    ASSERT_TRUE(convertor.Unicode2Utf8(accents.c_str(), &result, -1, ZUB_CP_UTF8));
    EXPECT_FALSE(convertor.IsResultInline());
    EXPECT_EQ(std::strlen(result), 1024u);
    EXPECT_EQ(static_cast<unsigned char>(result[1022]), 0xC3u);
    EXPECT_EQ(static_cast<unsigned char>(result[1023]), 0xA9u);
    // The earlier heap block was replaced, not leaked.
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

  EXPECT_TRUE(convertor.Unicode2Utf8(L"", &result, -1, ZUB_CP_UTF8));
  EXPECT_STREQ(result, "");

  const wchar_t odd[] = {L'A', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x1F600), 0};
  ASSERT_TRUE(convertor.Unicode2Utf8(odd, &result, -1, ZUB_CP_UTF8));
  EXPECT_STREQ(result, "A\xEF\xBF\xBD\xF0\x9F\x98\x80");

  ASSERT_TRUE(convertor.Unicode2Utf8(L"abc", &result, 2, ZUB_CP_UTF8));
  EXPECT_STREQ(result, "ab");

  ASSERT_TRUE(convertor.Unicode2Utf8(L"\u00E9\u20AC", &result, -1, ZUB_CP_ACP));
  EXPECT_STREQ(result, "\xE9?");

  EXPECT_FALSE(convertor.Unicode2Utf8(L"x", &result, -1, 1200));
  EXPECT_TRUE(log.Has(L"Error 0x00000057 in CZubConvertor::Unicode2Utf8()", QUILLOG_ERROR));
}

TEST(KitRes, StringsAreFormattedFromTheTable) {
  LogCapture log;
  EXPECT_EQ(CZubRes::String(IDS_ZUB_THREAD_POOL_NAME, 3), L"Thread pool #3");
  EXPECT_EQ(CZubRes::String(IDS_ZUB_WARNING_CAPTION), L"Warning");

  EXPECT_EQ(CZubRes::String(987654, 1), L"String not loaded");
  EXPECT_TRUE(log.Has(L"An error while loading the String ressource 987654 from the exe file", QUILLOG_ERROR));

  CZubRes::AddString(987655, L"%s has %d items");
  EXPECT_EQ(CZubRes::String(987655, L"list", 2), L"list has 2 items");
  // A mismatched argument shows a marker, never undefined behaviour.
  EXPECT_NE(CZubRes::String(987655, 5, L"x"), L"");
}

TEST(KitRes, LongStringsAreCutAt1023Characters) {
  LogCapture log;
  CZubRes::AddString(987656, std::wstring(1022, L'x').c_str());
  EXPECT_EQ(CZubRes::String(987656).size(), 1022u);
  EXPECT_FALSE(log.Has(L"The size of the buffer to read strings is too short"));
  CZubRes::AddString(987657, std::wstring(1500, L'y').c_str());
  EXPECT_EQ(CZubRes::String(987657), std::wstring(1023, L'y'));
  EXPECT_TRUE(log.Has(L"The size of the buffer to read strings is too short", QUILLOG_ERROR));
}

}  // namespace
