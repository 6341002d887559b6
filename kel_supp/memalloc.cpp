// memalloc: the one road to the heap. Every wrapper counts the bytes requested, asks the platform
// allocator and turns a null result into a fatal message, so no caller tests for null.
#include "memalloc.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "textio.h"

namespace {

// Bytes requested through each wrapper; requests, not live memory, wrapping modulo 2^32.
uint32_t mem_calloced;
uint32_t mem_malloced;
uint32_t mem_realloced;

} // namespace

void *mem_calloc(uint32_t nitems, uint32_t size) {
  mem_calloced += static_cast<uint32_t>(uint64_t{nitems} * size);
  return mem_check(std::calloc(nitems, size), "c");
}

void *mem_malloc(uint32_t size) {
  mem_malloced += size;
  return mem_check(std::malloc(size), "m");
}

void *mem_realloc(void *block, uint32_t size) {
  mem_realloced += size;
  return mem_check(std::realloc(block, size), "re");
}

void mem_free(void *block) {
  if (block == nullptr) text_message(TEXT_FATAL, "attempted to free a null block\n");
  std::free(block);
}

void *mem_check(void *pointer, const char *tag) {
  if (pointer == nullptr) text_message(TEXT_FATAL, "insufficient memory for %salloc\n", tag);
  return pointer;
}

void mem_advise_large(void *block, size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr size_t large_page = size_t{2} << 20;
  if (block == nullptr || size < 2 * large_page) return;
  const long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) return;
  const auto mask = static_cast<uintptr_t>(page) - 1;
  const auto first = (reinterpret_cast<uintptr_t>(block) + mask) & ~mask;
  const auto last = (reinterpret_cast<uintptr_t>(block) + size) & ~mask;
  // Only advice: a refusal leaves ordinary pages, which work the same.
  if (last > first) (void)madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}

void mem_print_statistics() {
  text_message(TEXT_INFO,
               "Heap manager calloc'ed %lu bytes, malloc'ed %lu bytes and realloc'ed %lu bytes\n",
               static_cast<unsigned long>(mem_calloced), static_cast<unsigned long>(mem_malloced),
               static_cast<unsigned long>(mem_realloced));
}
