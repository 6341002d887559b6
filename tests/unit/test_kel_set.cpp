// Bit sets: growth, assignment from lists, membership, counting, listing and printing by name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memalloc.h"
#include "set.h"

namespace {

std::vector<uint32_t> members_of(const set_ *set) {
  uint32_t *array = set_array(set);
  std::vector<uint32_t> members;
  for (const uint32_t *p = array; *p != SET_LIST_END; ++p)
    members.push_back(*p);
  mem_free(array);
  return members;
}

std::string printed(const set_ *set, const char *names, uint32_t line_length) {
  testing::internal::CaptureStdout();
  set_print_set(set, names, line_length);
  return testing::internal::GetCapturedStdout();
}

// Six one-letter names, for elements 0 to 5.
const char letters[] = "A\0B\0C\0D\0E\0F";

TEST(SetGrow, KeepsMembersAndGrowsToExactLength) {
  set_ set{};
  set_assign_list(&set, {2, 9});
  set_grow(&set, 5);
  EXPECT_EQ(set.length, 5u);
  EXPECT_EQ(members_of(&set), (std::vector<uint32_t>{2, 9}));
  for (uint32_t i = 2; i < 5; ++i)
    EXPECT_EQ(set.elements[i], 0) << "byte " << i;

  set_grow(&set, 3); // never shrinks
  EXPECT_EQ(set.length, 5u);
}

TEST(SetAssignList, TerminatorAloneGivesEmptySetWithOneByte) {
  set_ set{};
  set_assign_list(&set, {SET_LIST_END});
  EXPECT_EQ(set.length, 1u);
  EXPECT_EQ(set_cardinality(&set), 0u);
  EXPECT_EQ(printed(&set, letters, 0), "");
}

TEST(SetAssignList, FreshSetGetsBytesUpToLargestMember) {
  set_ set{};
  set_assign_list(&set, {17, 3, SET_LIST_END});
  EXPECT_EQ(set.length, 3u);
  EXPECT_EQ(members_of(&set), (std::vector<uint32_t>{3, 17}));
}

TEST(SetAssignList, ReplacesOldMembersAndKeepsLargerStorage) {
  set_ set{};
  set_assign_list(&set, {0, 20, 63, SET_LIST_END});
  ASSERT_EQ(set.length, 8u);
  set_assign_list(&set, {3, 17, SET_LIST_END});
  EXPECT_EQ(set.length, 8u);
  EXPECT_EQ(members_of(&set), (std::vector<uint32_t>{3, 17}));
}

TEST(SetAssignList, StopsAtTerminatorOrAtListEnd) {
  set_ set{};
  set_assign_list(&set, {4, SET_LIST_END, 100});
  EXPECT_EQ(set.length, 1u);
  EXPECT_EQ(members_of(&set), (std::vector<uint32_t>{4}));

  set_assign_list(&set, {9, 1, 9}); // no terminator; repeats are harmless
  EXPECT_EQ(members_of(&set), (std::vector<uint32_t>{1, 9}));
}

TEST(SetIncludesElement, AnswersByBitAndGrowsForElementsBeyondStorage) {
  set_ set{};
  set_assign_list(&set, {0, 7, SET_LIST_END});
  struct {
    uint32_t element;
    int member;
  } cases[] = {{0, 1}, {1, 0}, {6, 0}, {7, 1}, {8, 0}, {100, 0}};
  for (const auto &c : cases)
    EXPECT_EQ(set_includes_element(&set, c.element), c.member) << "element " << c.element;
  EXPECT_EQ(set.length, 13u);
  EXPECT_EQ(members_of(&set), (std::vector<uint32_t>{0, 7}));
}

TEST(SetIncludesElement, EmptyRecordNeedsNoConstruction) {
  set_ set{};
  EXPECT_EQ(set_includes_element(&set, 3), 0);
  EXPECT_EQ(set.length, 1u);
}

TEST(SetCardinality, CountsBothHalvesOfEveryByte) {
  set_ set{};
  EXPECT_EQ(set_cardinality(&set), 0u);
  set_assign_list(&set, {0, 3, 4, 7, 8, 15, 255, SET_LIST_END});
  EXPECT_EQ(set_cardinality(&set), 7u);
}

TEST(SetArray, ListsMembersAscendingAndEndsWithTerminator) {
  set_ set{};
  set_assign_list(&set, {9, 8, 7, 0, SET_LIST_END});
  EXPECT_EQ(members_of(&set), (std::vector<uint32_t>{0, 7, 8, 9}));

  set_ empty{};
  uint32_t *array = set_array(&empty);
  EXPECT_EQ(array[0], SET_LIST_END);
  mem_free(array);
}

TEST(SetPrint, NamesOrNumbersSeparatedByComma) {
  set_ set{};
  set_assign_list(&set, {3, 5, SET_LIST_END});
  EXPECT_EQ(printed(&set, letters, 0), "D, F");
  EXPECT_EQ(printed(&set, nullptr, 0), "3, 5");

  set_assign_list(&set, {0, 1, 4, SET_LIST_END});
  EXPECT_EQ(printed(&set, letters, 0), "A, B, E");
}

TEST(SetPrint, SingleElementByNameOrNumber) {
  struct {
    uint32_t element;
    const char *names;
    const char *expected;
  } cases[] = {{2, letters, "C"}, {0, letters, "A"}, {5, letters, "F"}, {2, nullptr, "2"}};
  for (const auto &c : cases) {
    testing::internal::CaptureStdout();
    set_print_element(c.element, c.names);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected) << "element " << c.element;
  }
}

TEST(SetPrint, BreaksAfterTheSeparatorThatReachesLineLength) {
  // Ten-character names: after five names and their separators the column is exactly 60.
  const char names[] = "element_00\0element_01\0element_02\0element_03\0element_04\0"
                       "element_05\0element_06\0element_07";
  set_ set{};
  set_assign_list(&set, {0, 1, 2, 3, 4, 5, 6, 7, SET_LIST_END});
  EXPECT_EQ(printed(&set, names, 60), "element_00, element_01, element_02, element_03, element_04, "
                                      "\nelement_05, element_06, element_07");
  EXPECT_EQ(printed(&set, names, 0), "element_00, element_01, element_02, element_03, element_04, "
                                     "element_05, element_06, element_07");
}

} // namespace
