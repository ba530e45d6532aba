#include "runtime/platform/GlobalMemory.h"

#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace runtime::platform {
namespace {

struct Block {
  std::unique_ptr<std::byte[]> bytes;
  std::size_t size = 0;
  std::uint32_t locks = 0;
};

struct Fault {
  bool armed = false;
  ScopedMemoryFault::Operation operation{};
  std::uint32_t successesLeft = 0;
};

std::mutex mutex;
// Guarded by mutex.
std::map<MemoryHandle, Block> blocks;
MemoryHandle lastHandle = 0;
Fault fault;

// True when operation is the one to fail, now (it fails once). Requires:
// mutex held.
bool Fails(ScopedMemoryFault::Operation operation) {
  if (!fault.armed || fault.operation != operation) return false;
  if (fault.successesLeft > 0) {
    --fault.successesLeft;
    return false;
  }
  fault.armed = false;
  return true;
}

// A handle not in use; ids wrap around after 2^32 - 1 blocks and skip 0 and
// live blocks. Requires: mutex held, fewer than 2^32 - 1 blocks alive.
MemoryHandle NextHandle() {
  do {
    ++lastHandle;
  } while (lastHandle == 0 || blocks.contains(lastHandle));
  return lastHandle;
}

}  // namespace

MemoryHandle GlobalAlloc(std::size_t bytes) {
  std::lock_guard guard(mutex);
  if (Fails(ScopedMemoryFault::Operation::Alloc)) return 0;
  Block block;
  // One byte at least, so a locked empty block still has an address.
  block.bytes.reset(new (std::nothrow) std::byte[bytes == 0 ? 1 : bytes]());
  if (!block.bytes) return 0;
  block.size = bytes;
  const MemoryHandle handle = NextHandle();
  blocks.emplace(handle, std::move(block));
  return handle;
}

std::byte* GlobalLock(MemoryHandle handle) {
  std::lock_guard guard(mutex);
  auto it = blocks.find(handle);
  if (it == blocks.end() || Fails(ScopedMemoryFault::Operation::Lock)) return nullptr;
  ++it->second.locks;
  return it->second.bytes.get();
}

std::optional<std::uint32_t> GlobalUnlock(MemoryHandle handle) {
  std::lock_guard guard(mutex);
  auto it = blocks.find(handle);
  if (it == blocks.end() || it->second.locks == 0) return std::nullopt;
  // A failing unlock leaves the block locked, as a second holder would.
  if (Fails(ScopedMemoryFault::Operation::Unlock)) return it->second.locks;
  return --it->second.locks;
}

bool GlobalFree(MemoryHandle handle) {
  std::lock_guard guard(mutex);
  return blocks.erase(handle) == 1;
}

std::size_t GlobalSize(MemoryHandle handle) {
  std::lock_guard guard(mutex);
  auto it = blocks.find(handle);
  return it == blocks.end() ? 0 : it->second.size;
}

std::size_t GlobalBlocksInUse() {
  std::lock_guard guard(mutex);
  return blocks.size();
}

ScopedMemoryFault::ScopedMemoryFault(Operation operation, std::uint32_t successesBefore) {
  std::lock_guard guard(mutex);
  fault = {true, operation, successesBefore};
}

ScopedMemoryFault::~ScopedMemoryFault() {
  std::lock_guard guard(mutex);
  fault = {};
}

}  // namespace runtime::platform
