// Memory for the blocks of a document kept in memory.
//
// Fresh memory is paid for page by page when first written, and on a virtual machine
// each 4 KiB fault can cost more than converting the bytes that fill it. Large blocks
// therefore come from the system in huge pages where it offers them (Linux).
//
// On Windows the commit charge counts memory that is committed, written or not, so a
// large block is only reserved there and committed step by step as the writer reaches
// its end; once read, its pages are decommitted again.
#pragma once

#include <cstddef>

namespace irun {

// Blocks of this size are large ones: aligned to it, in huge pages where possible.
constexpr size_t kLargeOutputBlock = size_t{2} << 20;

// How much of a large block is committed at a time, where commitment is stepwise.
constexpr size_t kOutputCommitStep = 64 * 1024;

#if defined(_WIN32)
constexpr bool kOutputCommitsStepwise = true;
#else
constexpr bool kOutputCommitsStepwise = false;
#endif

// `size` bytes, or null when out of memory. Sizes of kLargeOutputBlock and more are
// large blocks; of those, only the first CommittedAtFirst(size) bytes may be written
// before CommitOutputBytes makes more writable.
char* AllocateOutputBlock(size_t size);
size_t CommittedAtFirst(size_t size);
// Makes `size` more bytes of a large block at `at` writable; false when out of memory.
bool CommitOutputBytes(char* at, size_t size);
// Gives back `size` bytes of a large block at `at`, which are not used again.
void DecommitOutputBytes(char* at, size_t size);
// Frees a block with the size it was allocated with.
void FreeOutputBlock(char* block, size_t size);

}  // namespace irun
