// Memory for the blocks of a document kept in memory.
//
// Fresh memory is paid for page by page when first written, and on a virtual machine
// each 4 KiB fault can cost more than converting the bytes that fill it. Large blocks
// therefore come from the system in huge pages where it offers them (Linux).
#pragma once

#include <cstddef>

namespace irun {

// Blocks of this size are large ones: aligned to it, in huge pages where possible.
constexpr size_t kLargeOutputBlock = size_t{2} << 20;

// `size` bytes, or null when out of memory. Sizes of kLargeOutputBlock and more are
// large blocks.
char* AllocateOutputBlock(size_t size);
// Frees a block with the size it was allocated with.
void FreeOutputBlock(char* block, size_t size);

}  // namespace irun
