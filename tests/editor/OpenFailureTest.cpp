// An editor that cannot get what it needs while opening (the frame, its window, a bitmap, a
// control, a menu entry) answers failure and leaves nothing half-built: no frame, no window in
// the host's, no bitmap held (the sanitizer build checks for leaks), and it opens normally later.
//
// The allocations the product makes without exceptions (new (std::nothrow)) are made to fail one
// after the other: the n-th such allocation of an open fails, for n = 1, 2, ... until an open
// gets through. Native only: it replaces the program's nothrow operator new.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "EditorTestSupport.h"
#include "platform/headless/Headless.h"

namespace {
// Nothrow allocations left before one fails; negative: none fails.
long allocationsBeforeFailure = -1;
}  // namespace

namespace {
// Whether this nothrow allocation is the one to fail.
bool failNow() {
  if (allocationsBeforeFailure == 0) {
    allocationsBeforeFailure = -1;
    return true;
  }
  if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
  return false;
}
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (failNow()) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (failNow()) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace kestrane {
namespace {

class OpenFailure : public testing::OpenEditor {};

TEST_F(OpenFailure, EveryFailedAllocationLeavesTheEditorClosedAndWhole) {
  close();
  int refusals = 0;
  for (long n = 0; n < 2000; ++n) {
    SCOPED_TRACE("failing allocation " + std::to_string(n + 1));
    allocationsBeforeFailure = n;
    const bool opened = effect->dispatch(effEditOpen, 0, 0, host) == 1;  // no paint
    const bool failed = allocationsBeforeFailure == -1;
    allocationsBeforeFailure = -1;
    if (!failed) {  // every allocation of an open succeeded: all failure points are behind us
      EXPECT_TRUE(opened);
      break;
    }
    if (opened) {
      // A failure after the controls (a crossover menu's entry) leaves a complete editor.
      EXPECT_EQ(frame()->getViewCount(), 76);
      close();
      continue;
    }
    ++refusals;
    EXPECT_EQ(editor()->getFrame(), nullptr);
    EXPECT_TRUE(platform::headless::childWindows(static_cast<platform::WindowRef>(host)).empty());
    // What arrives while closed is harmless.
    set(GainLF, 0.3f);
    idleLater();
  }
  EXPECT_GE(refusals, 1 + 15 + 76);  // the frame, the bitmaps, the controls at least
  ASSERT_TRUE(editor()->getFrame() != nullptr || open());
  EXPECT_EQ(frame()->getViewCount(), 76);
}

TEST_F(OpenFailure, OpeningAnOpenEditorAgainBuildsItOnce) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(open());
  EXPECT_EQ(frame()->getViewCount(), 76);
  EXPECT_EQ(platform::headless::childWindows(static_cast<platform::WindowRef>(host)).size(), 1u);
}

// What a real host passes as its window (an X11 window id, its own records, nothing, garbage, a
// window of ours already gone) is not a window of this backend: the open is refused without the
// value being read through, nothing is made, and the editor opens into its real host afterwards.
TEST_F(OpenFailure, AParentWindowTheBackendDidNotMakeIsRefused) {
  close();
  const int usesBefore = platform::windowClassUseCount();
  int hostRecord[16] = {};
  void* gone = platform::testhost::createHostWindow(0, 0, 10, 10);
  platform::testhost::destroyHostWindow(gone);
  void* const foreign[] = {reinterpret_cast<void*>(std::uintptr_t{0x200001}), nullptr,
                           reinterpret_cast<void*>(std::uintptr_t{0xDEADBEEF0}), hostRecord,
                           gone};
  for (void* parent : foreign) {
    SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(parent));
    EXPECT_EQ(effect->dispatch(effEditOpen, 0, 0, parent), 0);
    EXPECT_EQ(editor()->getFrame(), nullptr);
    EXPECT_EQ(platform::windowClassUseCount(), usesBefore);
    EXPECT_FALSE(platform::dispatchPendingPaint());
    effect->dispatch(effEditIdle);
    effect->dispatch(effEditClose);
  }
  for (int value : hostRecord) EXPECT_EQ(value, 0);
  ASSERT_TRUE(open());
  EXPECT_EQ(frame()->getViewCount(), 76);
}

}  // namespace
}  // namespace kestrane
