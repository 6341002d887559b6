// Symbol tables: the string hash, insertion and lookup order, scopes, and the statistics report.
#include <gtest/gtest.h>

#include <cstring>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include <unistd.h>

#include "symbol.h"
#include "textio.h"

namespace {

// The body shape the assembler uses for registers and labels: the name, then a value.
struct named_value {
  const char *id;
  int32_t val;
};

named_value *insert(symbol_table *table, const char *name) {
  return static_cast<named_value *>(
      symbol_insert_key(table, &name, sizeof(char *), sizeof(named_value)));
}

named_value *lookup(symbol_table *table, const char *name, void *scope = nullptr) {
  return static_cast<named_value *>(symbol_lookup_key(table, &name, scope));
}

symbol_table *string_table(const char *name, uint32_t buckets) {
  return symbol_new_table(name, buckets, 31, symbol_compare_string, symbol_hash_string,
                          symbol_print_string);
}

// Names of the form "<digit>..." land in bucket <digit>, so a test can lay out its chains.
uint32_t digit_hash(uint32_t, void *key) {
  return static_cast<uint32_t>(**static_cast<char **>(key) - '0');
}

std::string statistics(symbol_table *table, int histogram_size) {
  testing::internal::CaptureStdout();
  symbol_print_table_statistics(table, histogram_size);
  return testing::internal::GetCapturedStdout();
}

class SymbolTable : public testing::Test {
protected:
  void SetUp() override { text_init(1000, 25, 100, 8); }
};

TEST(SymbolHashString, SignedBytesWithWrappingArithmetic) {
  struct {
    const char *name;
    uint32_t hash;
  } cases[] = {
      {"r0", 3582},
      {"r31", 111184},
      {"abc", 96354},
      {"\xE9", 4294967273u},
      {"", 0},
      {nullptr, 0},
      // Long enough to wrap several times: 31^7 alone exceeds 2^32.
      {"abcdefghij", 3660649637u},
  };
  for (const auto &c : cases) {
    const char *name = c.name;
    EXPECT_EQ(symbol_hash_string(31, &name), c.hash) << (name != nullptr ? name : "(null)");
  }
}

TEST(SymbolCompareString, OrdersByBytes) {
  const char *a = "abc";
  const char *b = "abd";
  const char *a2 = "abc";
  EXPECT_LT(symbol_compare_string(&a, &b), 0);
  EXPECT_GT(symbol_compare_string(&b, &a), 0);
  EXPECT_EQ(symbol_compare_string(&a, &a2), 0);
}

TEST(SymbolPrintString, NameOrNullSymbol) {
  named_value value{"loop", 4};
  testing::internal::CaptureStdout();
  symbol_print_string(&value);
  symbol_print_string(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "loopNull symbol");
}

TEST_F(SymbolTable, InsertKeyCopiesKeyAndZeroFillsTheRest) {
  symbol_table *table = string_table("labels", 101);
  char name[] = "start";
  named_value *symbol = insert(table, name);
  EXPECT_EQ(symbol->id, name); // the pointer is stored, not the text
  EXPECT_EQ(symbol->val, 0);
  EXPECT_EQ(lookup(table, "start"), symbol);
  EXPECT_EQ(lookup(table, "stop"), nullptr);
  EXPECT_EQ(lookup(table, "star"), nullptr);
}

TEST_F(SymbolTable, ManyNamesSharingBucketsAreAllFound) {
  symbol_table *table = string_table("regtable", 51);
  std::string names[32];
  named_value *symbols[32];
  for (int i = 0; i < 32; ++i) {
    names[i] = "r" + std::to_string(i);
    symbols[i] = insert(table, names[i].c_str());
    symbols[i]->val = i;
  }
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ(lookup(table, names[i].c_str()), symbols[i]) << names[i];
}

TEST_F(SymbolTable, NewSymbolIsZeroFilledAlignedAndFoundByRecordKey) {
  // A record whose first field is the name, as the scanner's token record is.
  struct keyword {
    char *id;
    int token;
    double value;
  };
  symbol_table *table = string_table("scan table", 101);
  auto *word = static_cast<keyword *>(symbol_new_symbol(sizeof(keyword)));
  EXPECT_EQ(word->id, nullptr);
  EXPECT_EQ(word->token, 0);
  // Every body suits records of pointers, integers and doubles; carve a few more symbols so a
  // misaligned carving would show.
  for (int i = 0; i < 5; ++i) {
    auto *body = symbol_new_symbol(sizeof(keyword) + static_cast<size_t>(i));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(body) % alignof(keyword), 0u) << i;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(body) % alignof(double), 0u) << i;
  }
  EXPECT_EQ(reinterpret_cast<uintptr_t>(word) % alignof(keyword), 0u);
  char text[] = "addiu";
  word->id = text;
  word->token = 42;
  EXPECT_EQ(symbol_insert_symbol(table, word), word);

  char probe_text[] = "addiu";
  keyword probe{probe_text, 0, 0.0};
  EXPECT_EQ(symbol_lookup_key(table, &probe, nullptr), word);
}

TEST_F(SymbolTable, DuplicateKeyFindsNewestAndCountsBoth) {
  symbol_table *table = string_table("torvane", 101);
  named_value *first = insert(table, "loop");
  named_value *second = insert(table, "loop");
  EXPECT_NE(first, second);
  EXPECT_EQ(lookup(table, "loop"), second);
  EXPECT_NE(statistics(table, 11).find("contains 2 symbols"), std::string::npos);
}

TEST_F(SymbolTable, LookupInAnotherScopeFindsNothing) {
  symbol_table *table = string_table("torvane", 101);
  named_value *loop = insert(table, "loop");
  // Any symbol that is not the root scope serves as a foreign scope.
  named_value *other = insert(table, "other");
  EXPECT_EQ(lookup(table, "loop"), loop);
  EXPECT_EQ(lookup(table, "loop", other), nullptr);
}

TEST_F(SymbolTable, KeyLargerThanBodyIsFatal) {
  symbol_table *table = string_table("torvane", 101);
  const char *name = "x";
  EXPECT_EXIT(
      {
        dup2(2, 1);
        symbol_insert_key(table, &name, sizeof(char *), 4);
      },
      testing::ExitedWithCode(1),
      "Fatal - programmer error - key_size > symbol_size in symbol_insert_key\n");
}

class SymbolStatistics : public SymbolTable {
protected:
  // Five buckets with chains of 0, 1, 2, 3 and 0 symbols.
  symbol_table *five_buckets() {
    symbol_table *table =
        symbol_new_table("five", 5, 31, symbol_compare_string, digit_hash, symbol_print_string);
    for (const char *name : {"1a", "2a", "2b", "3a", "3b", "3c"})
      insert(table, name);
    return table;
  }
};

TEST_F(SymbolStatistics, FoldsLongChainsIntoLastRow) {
  EXPECT_EQ(statistics(five_buckets(), 3),
            "// ******: \nSymbol table `five' has 5 buckets and contains 6 symbols\n"
            "  2 buckets have 0 symbols\n"
            "  1 bucket  has  1 symbol\n"
            "  2 buckets have 2 symbols or more\n"
            "// ******: \nMean list length is 1.000000\n");
}

TEST_F(SymbolStatistics, RowOneSaysSymbolEvenWhenLast) {
  EXPECT_EQ(statistics(five_buckets(), 2),
            "// ******: \nSymbol table `five' has 5 buckets and contains 6 symbols\n"
            "  2 buckets have 0 symbols\n"
            "  3 buckets have 1 symbol\n"
            "// ******: \nMean list length is 0.600000\n");
}

TEST_F(SymbolStatistics, EmptyTable) {
  symbol_table *table = string_table("empty", 7);
  EXPECT_EQ(statistics(table, 3),
            "// ******: \nSymbol table `empty' has 7 buckets and contains 0 symbols\n"
            "  7 buckets have 0 symbols\n"
            "  0 buckets have 1 symbol\n"
            "  0 buckets have 2 symbols or more\n"
            "// ******: \nMean list length is 0.000000\n");
}

TEST_F(SymbolStatistics, AllTablesNewestFirst) {
  string_table("older", 3);
  string_table("newer", 3);
  testing::internal::CaptureStdout();
  symbol_print_all_table_statistics(11);
  std::string out = testing::internal::GetCapturedStdout();
  size_t newer = out.find("`newer'");
  size_t older = out.find("`older'");
  ASSERT_NE(newer, std::string::npos);
  ASSERT_NE(older, std::string::npos);
  EXPECT_LT(newer, older);
  EXPECT_NE(out.find(" 0 buckets have 10 symbols or more\n"), std::string::npos);
}

} // namespace

// Look-ups in a large text-keyed table: names that differ in their last characters (l0, l1, ...)
// and names whose hashes all coincide ("Aa" and "BB" hash alike, so do all their concatenations)
// are each found as their newest symbol, through every growth of the table, and a name never
// entered is not found.
TEST_F(SymbolTable, LargeTableFindsNewestOfEveryName) {
  symbol_table *table = string_table("torvane", 101);
  std::vector<std::string> names;
  for (int i = 0; i < 20000; ++i)
    names.push_back("l" + std::to_string(i));
  // Names with the same number in other spellings, and a second numbered series whose slots run
  // among those of the first.
  for (const char *name : {"l007", "l07", "l0007", "7", "07", "", "l", "l99999999999999999999"})
    names.push_back(name);
  for (int i = 0; i < 5000; ++i)
    names.push_back("m" + std::to_string(i * 3) + "x" + std::to_string(i));
  for (unsigned bits = 0; bits < 2048; ++bits) {
    std::string name;
    for (unsigned b = 0; b < 11; ++b)
      name += (bits >> b) & 1 ? "BB" : "Aa";
    names.push_back(name);
  }
  std::vector<named_value *> newest;
  for (const std::string &name : names)
    newest.push_back(insert(table, name.c_str()));
  // Every third name is entered again and must hide its first symbol.
  for (size_t i = 0; i < names.size(); i += 3)
    newest[i] = insert(table, names[i].c_str());
  for (size_t i = 0; i < names.size(); ++i)
    ASSERT_EQ(lookup(table, names[i].c_str()), newest[i]) << names[i];
  EXPECT_EQ(lookup(table, "l20000"), nullptr);
  EXPECT_EQ(lookup(table, "AaAa"), nullptr);
}

// Finding or inserting a key gives what a look-up followed, when it finds nothing, by an
// insertion gives: the same symbols, the same table (its statistics), in a text-keyed table and
// in one with a hash function of its own.
TEST_F(SymbolTable, FindOrInsertActsAsLookUpThenInsert) {
  for (const bool own_hash : {false, true}) {
    SCOPED_TRACE(own_hash ? "own hash" : "text hash");
    auto table_named = [&](const char *name) {
      return own_hash ? symbol_new_table(name, 5, 31, symbol_compare_string, digit_hash,
                                         symbol_print_string)
                      : string_table(name, 5);
    };
    symbol_table *combined = table_named("labels");
    symbol_table *separate = table_named("labels");
    const char *names[] = {"1a", "2b", "1a", "3c", "2b", "1a", "4d", "3e"};
    for (const char *name : names) {
      auto *found = static_cast<named_value *>(
          symbol_find_or_insert_key(combined, &name, sizeof name, sizeof(named_value)));
      named_value *expected = lookup(separate, name);
      if (expected == nullptr) {
        expected = insert(separate, name);
        EXPECT_EQ(found->val, 0) << name;
        found->val = expected->val = static_cast<int32_t>(std::strlen(name));
      }
      EXPECT_EQ(found, lookup(combined, name)) << name;
      EXPECT_STREQ(found->id, name);
      EXPECT_EQ(found->val, expected->val) << name;
    }
    // A key entered again with symbol_insert_key hides the earlier one for both.
    const char *again = "3c";
    insert(combined, again)->val = 99;
    EXPECT_EQ(static_cast<named_value *>(
                  symbol_find_or_insert_key(combined, &again, sizeof again, sizeof(named_value)))
                  ->val,
              99);
    insert(separate, again)->val = 99;
    EXPECT_EQ(statistics(combined, 4), statistics(separate, 4));
  }
}

// Symbols created while text-keyed tables grow (their outgrown indexes become room for symbols)
// are zero-filled and keep their values while the tables go on growing, whichever table they
// belong to.
TEST_F(SymbolTable, SymbolsStayZeroFilledAndIntactThroughGrowth) {
  symbol_table *tables[] = {string_table("first", 101), string_table("second", 7)};
  std::vector<std::string> names;
  for (int i = 0; i < 60000; ++i)
    names.push_back("n" + std::to_string(i));
  std::vector<named_value *> symbols;
  for (size_t i = 0; i < names.size(); ++i) {
    named_value *symbol = insert(tables[i % 2], names[i].c_str());
    ASSERT_EQ(symbol->val, 0) << names[i];
    symbol->val = static_cast<int32_t>(i) + 1;
    auto *block = static_cast<named_value *>(symbol_new_symbol(sizeof(named_value)));
    ASSERT_EQ(block->id, nullptr);
    ASSERT_EQ(block->val, 0);
    block->val = -1;
    symbols.push_back(symbol);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    ASSERT_EQ(lookup(tables[i % 2], names[i].c_str()), symbols[i]) << names[i];
    ASSERT_EQ(symbols[i]->val, static_cast<int32_t>(i) + 1) << names[i];
  }
}
