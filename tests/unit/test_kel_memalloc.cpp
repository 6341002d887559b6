// Checked allocation: request counters, contents of the blocks, and the fatal texts for a null
// release and for exhaustion.
#include <gtest/gtest.h>

#include "output_capture.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "memalloc.h"

#ifdef __SANITIZE_ADDRESS__
// Under AddressSanitizer a limit on the address space cannot be used; let its allocator return
// null for large requests instead of aborting, so exhaustion reaches the wrappers. It may warn
// about the failed request first, so the message is matched from its frame on.
extern "C" const char *__asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=512";
}
constexpr const char *output_start = "";
#else
constexpr const char *output_start = "^";
#endif

namespace {

using test_support::output_to_stderr;

// Makes any request of a gigabyte or more fail in this (child) process.
void limit_heap() {
#ifndef __SANITIZE_ADDRESS__
  rlimit limit{};
  getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = 512UL << 20;
  setrlimit(RLIMIT_AS, &limit);
#endif
}

std::string statistics() {
  testing::internal::CaptureStdout();
  mem_print_statistics();
  return testing::internal::GetCapturedStdout();
}

TEST(MemCounters, CountRequestsNotLiveMemory) {
  EXPECT_EQ(statistics(), "// ******: Heap manager calloc'ed 0 bytes, malloc'ed 0 bytes and "
                          "realloc'ed 0 bytes\n");

  auto *items = static_cast<unsigned char *>(mem_calloc(3, 4));
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(items[i], 0) << "byte " << i;
  void *block = mem_malloc(10);
  auto *grown = static_cast<char *>(mem_malloc(100));
  std::memset(grown, 'x', 100);
  grown = static_cast<char *>(mem_realloc(grown, 150)); // counts the full new size, not 50
  EXPECT_EQ(std::string(grown, 100), std::string(100, 'x'));

  mem_free(items); // releases never subtract
  mem_free(block);
  EXPECT_EQ(statistics(), "// ******: Heap manager calloc'ed 12 bytes, malloc'ed 110 bytes and "
                          "realloc'ed 150 bytes\n");
  mem_free(grown);
}

TEST(MemCheck, PassesNonNullPointerThrough) {
  int value = 0;
  EXPECT_EQ(mem_check(&value, "m"), &value);
}

TEST(MemFreeDeathTest, NullBlockIsFatal) {
  EXPECT_EXIT(
      {
        output_to_stderr();
        mem_free(nullptr);
      },
      testing::ExitedWithCode(1),
      "^// \\*\\*\\*\\*\\*\\*: Fatal - attempted to free a null block\n$");
}

TEST(MemExhaustionDeathTest, MessageNamesTheWrapper) {
  const struct {
    const char *wrapper;
    std::function<void()> request;
  } cases[] = {
      {"calloc", [] { mem_calloc(0x10000, 0x10000); }},
      {"malloc", [] { mem_malloc(0xFFFFFFFF); }},
      {"realloc",
       [] {
         static void *block = mem_malloc(16); // stays reachable when the process ends
         mem_realloc(block, 0xFFFFFFFF);
       }},
  };
  for (const auto &c : cases) {
    const std::string expected = std::string(output_start) +
                                 "// \\*\\*\\*\\*\\*\\*: Fatal - insufficient memory for " +
                                 c.wrapper + "\n$";
    EXPECT_EXIT(
        {
          output_to_stderr();
          limit_heap();
          c.request();
        },
        testing::ExitedWithCode(1), expected)
        << c.wrapper;
  }
}

} // namespace
