// memalloc: checked heap allocation. The wrappers never return null: exhaustion is fatal.
#ifndef KEL_MEMALLOC_H
#define KEL_MEMALLOC_H

#include <cstddef>
#include <cstdint>

void *mem_calloc(uint32_t nitems, uint32_t size);
void *mem_malloc(uint32_t size);
void *mem_realloc(void *block, uint32_t size);
void mem_free(void *block);
void *mem_check(void *pointer, const char *tag);
// A hint that a block of many megabytes is used in full: where the system supports it, the block
// is backed by large pages, so touching it costs a few page faults instead of thousands.
void mem_advise_large(void *block, size_t size);
void mem_print_statistics();

#endif
