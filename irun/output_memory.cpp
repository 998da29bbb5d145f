#include "output_memory.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace irun {

#if defined(__linux__)

namespace {

// A mapping aligned to the huge page size, so that the whole block can be one.
char* MapLargeBlock(size_t size) {
  const size_t mapped = size + kLargeOutputBlock;
  void* address = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) return nullptr;
  char* const start = static_cast<char*>(address);
  const uintptr_t misalignment = reinterpret_cast<uintptr_t>(start) % kLargeOutputBlock;
  const size_t head = misalignment == 0 ? 0 : kLargeOutputBlock - misalignment;
  char* const block = start + head;
  if (head > 0) munmap(start, head);
  munmap(block + size, mapped - head - size);
  // Only advice: without huge pages the block is ordinary memory.
  madvise(block, size, MADV_HUGEPAGE);
  return block;
}

}  // namespace

char* AllocateOutputBlock(size_t size) {
  if (size >= kLargeOutputBlock) return MapLargeBlock(size);
  return static_cast<char*>(std::malloc(size));
}

void FreeOutputBlock(char* block, size_t size) {
  if (!block) return;
  if (size >= kLargeOutputBlock) {
    munmap(block, size);
  } else {
    std::free(block);
  }
}

#elif defined(_WIN32)

char* AllocateOutputBlock(size_t size) {
  if (size < kLargeOutputBlock) return static_cast<char*>(std::malloc(size));
  char* const block = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_READWRITE));
  if (!block) return nullptr;
  if (!CommitOutputBytes(block, CommittedAtFirst(size))) {
    VirtualFree(block, 0, MEM_RELEASE);
    return nullptr;
  }
  return block;
}

size_t CommittedAtFirst(size_t size) {
  return size < kLargeOutputBlock ? size : kOutputCommitStep;
}

bool CommitOutputBytes(char* at, size_t size) {
  return VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void DecommitOutputBytes(char* at, size_t size) { VirtualFree(at, size, MEM_DECOMMIT); }

void FreeOutputBlock(char* block, size_t size) {
  if (!block) return;
  if (size >= kLargeOutputBlock) {
    VirtualFree(block, 0, MEM_RELEASE);
  } else {
    std::free(block);
  }
}

#else

char* AllocateOutputBlock(size_t size) { return static_cast<char*>(std::malloc(size)); }

void FreeOutputBlock(char* block, size_t) { std::free(block); }

#endif

#if !defined(_WIN32)

// Memory is paid for as it is written here: all of a block may be written at once,
// and read pages go back with their block.
size_t CommittedAtFirst(size_t size) { return size; }
bool CommitOutputBytes(char*, size_t) { return true; }
void DecommitOutputBytes(char*, size_t) {}

#endif

}  // namespace irun
