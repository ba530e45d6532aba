#include <gtest/gtest.h>

#include "runtime/platform/GlobalMemory.h"

namespace runtime::platform {
namespace {

TEST(GlobalMemoryTest, LocksCountAndAnUnknownOrUnlockedBlockIsRefused) {
  const std::size_t before = GlobalBlocksInUse();
  const MemoryHandle handle = GlobalAlloc(16);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(GlobalSize(handle), 16u);
  std::byte* first = GlobalLock(handle);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first[15], std::byte{0}) << "zero-filled";
  EXPECT_EQ(GlobalLock(handle), first);
  EXPECT_EQ(GlobalUnlock(handle), 1u) << "still locked once";
  EXPECT_EQ(GlobalUnlock(handle), 0u);
  EXPECT_EQ(GlobalUnlock(handle), std::nullopt) << "not locked";
  EXPECT_TRUE(GlobalFree(handle));
  EXPECT_FALSE(GlobalFree(handle));
  EXPECT_EQ(GlobalLock(handle), nullptr);
  EXPECT_EQ(GlobalUnlock(handle), std::nullopt);
  EXPECT_EQ(GlobalSize(handle), 0u);
  EXPECT_EQ(GlobalBlocksInUse(), before);
  const MemoryHandle next = GlobalAlloc(0);
  EXPECT_NE(next, handle) << "a freed handle is not handed out again at once";
  GlobalFree(next);
}

TEST(GlobalMemoryTest, AnInjectedFaultHitsOneCallAfterTheGivenSuccesses) {
  const std::size_t before = GlobalBlocksInUse();
  {
    ScopedMemoryFault fault(ScopedMemoryFault::Operation::Alloc, 1);
    const MemoryHandle first = GlobalAlloc(4);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(GlobalAlloc(4), 0u);
    const MemoryHandle third = GlobalAlloc(4);
    EXPECT_NE(third, 0u) << "one call fails";
    GlobalFree(first);
    GlobalFree(third);
  }
  const MemoryHandle handle = GlobalAlloc(4);
  {
    ScopedMemoryFault fault(ScopedMemoryFault::Operation::Unlock);
    ASSERT_NE(GlobalLock(handle), nullptr);
    EXPECT_EQ(GlobalUnlock(handle), 1u) << "reported (and left) locked";
  }
  EXPECT_EQ(GlobalUnlock(handle), 0u);
  GlobalFree(handle);
  EXPECT_EQ(GlobalBlocksInUse(), before);
}

}  // namespace
}  // namespace runtime::platform
