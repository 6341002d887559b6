// Constant expressions, evaluated by the built torvane: each case is assembled as ".word <text>"
// (or, for the "(# a) op b" form, as the immediate of "addi $1, $0, <text>"), all cases in one
// source, and its value read back from the object file. Then the expressions that must stop the
// run, with their messages.
#include <gtest/gtest.h>

#include "run_program.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using test_support::Outcome;
using test_support::read_file;

std::string hex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
  return buffer;
}

// Reads the words of an object file whose every record holds one word. The final line break is
// optional, since a run stopped after pass 3 leaves it out. Returns false on any other shape.
bool read_words(const std::string &object, std::vector<std::uint32_t> &words) {
  words.clear();
  std::size_t at = 0;
  while (at < object.size() && object.compare(at, 1, "\n") == 0) {
    if (at + 1 == object.size()) return true; // the final line break
    // "\n@XXXXXXXX HH HH HH HH"
    if (object.size() < at + 22 || object[at + 1] != '@' || object[at + 10] != ' ') return false;
    std::string bytes = object.substr(at + 11, 11);
    if (bytes[2] != ' ' || bytes[5] != ' ' || bytes[8] != ' ') return false;
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 11; i += 3) {
      unsigned byte = 0;
      if (std::sscanf(bytes.c_str() + i, "%2X", &byte) != 1) return false;
      word = (word << 8) | byte;
    }
    words.push_back(word);
    at += 22;
  }
  return at == object.size();
}

std::size_t occurrences(const std::string &text, const std::string &part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// A scratch directory where a source is written and assembled.
class Expressions : public testing::Test {
protected:
  fs::path work;

  void SetUp() override {
    std::string pattern = testing::TempDir() + "tv_expressions_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    work = pattern;
  }

  void TearDown() override { fs::remove_all(work); }

  // Assembles `source` as prog.asm into out.obj and collects what the run produced.
  Outcome assemble(const std::string &source) {
    std::ofstream(work / "prog.asm", std::ios::binary) << source;
    const fs::path object = work / "out.obj";
    Outcome outcome =
        test_support::run_program(TORVANE_BIN, work, {"-o" + object.string(), "prog.asm"});
    outcome.object = read_file(object);
    return outcome;
  }
};

struct Case {
  const char *text;
  std::uint32_t value;
};

// A text that begins with "(#" is the test-expression form, which only instructions accept; it
// is assembled as the immediate of an addi, so only the low 16 bits of its value are seen.
// Labels: "back" is defined at 0x1000 before every case, "fwd" at 0x2000 after every case.
constexpr Case cases[] = {
    // Arithmetic wraps modulo 2^32; division is signed and rounds toward zero.
    {"10 - 3 - 2", 5},
    {"100 / 7 * 7", 98},
    {"-7 / 2", 0xFFFFFFFD},
    {"7 / -2", 0xFFFFFFFD},
    {"-7 / -2", 3},
    {"1 + 2 * 3", 7},
    {"(1 + 2) * 3", 9},
    {"0xFFFFFFFF + 1", 0},
    {"0x7FFFFFFF + 1", 0x80000000},
    {"0x10000 * 0x10000", 0},
    {"-0x80000000", 0x80000000},
    {"-2147483648 / -1", 0x80000000},
    {"0x80000000 / -1", 0x80000000},
    // Shifts take the low five bits of the count; '>>' copies the sign bit.
    {"1 << 33", 2},
    {"-16 >> 2", 0xFFFFFFFC},
    {"0x80000000 >> 31", 0xFFFFFFFF},
    {"0x40000000 >> 30", 1},
    {"1 >> 32", 1},
    {"1 << -1", 0x80000000},
    {"1 << 2 + 1", 8},
    // Bitwise operators: '^' looser than '|', looser than '&', looser than the shifts.
    {"6 & 3", 2},
    {"6 | 3", 7},
    {"6 ^ 3", 5},
    {"1 ^ 1 | 1", 0},
    {"1 | 2 & 3", 3},
    {"6 & 3 << 1", 6},
    {"3 & 1 + 1", 2},
    // Logical operators give 0 or 1; '&&' binds more tightly than '||'.
    {"1 && 0", 0},
    {"2 && 3", 1},
    {"0 || 0", 0},
    {"0 || 7", 1},
    {"1 || 1 && 0", 1},
    // One comparison, signed, looser than every other operator.
    {"3 > 2", 1},
    {"2 >= 3", 0},
    {"4 <= 4", 1},
    {"-1 < 0", 1},
    {"0x80000000 < 0", 1},
    {"5 == 5", 1},
    {"5 != 5", 0},
    {"1 + 1 == 2", 1},
    {"1 < 2 || 0", 0},
    // Unary operators.
    {"!0", 1},
    {"!5", 0},
    {"!!7", 1},
    {"~0", 0xFFFFFFFF},
    {"~-1", 0},
    {"--3", 3},
    {"-~0", 1},
    {"+5", 5},
    {"-(2 + 3)", 0xFFFFFFFB},
    // A unary operator before a lone operand, and before one that an operator follows.
    {"-fwd", 0xFFFFE000},
    {"~back", 0xFFFFEFFF},
    {"!fwd", 0},
    {"-back + 4", 0xFFFFF004},
    {"-3 * -3", 9},
    {"- - 3", 3},
    {"-(fwd)", 0xFFFFE000},
    // '**' binds more tightly than the binary operators, associates to the right and takes a
    // unary operand on its right; the power is truncated toward zero and reduced modulo 2^32, and
    // a result that is not finite gives 0.
    {"2 ** 10", 1024},
    {"2 ** 3 ** 2", 512},
    {"-2 ** 2", 0xFFFFFFFC},
    {"(0 - 2) ** 3", 0xFFFFFFF8},
    {"3 ** 0", 1},
    {"0 ** 0", 1},
    {"2 ** -1", 0},
    {"(0 - 2) ** -1", 0},
    {"2 ** 3 * 2", 16},
    {"2 * 3 ** 2", 18},
    {"2 ** 31", 0x80000000},
    {"-2 ** 31", 0x80000000},
    {"2 ** 32", 0},
    {"3 ** 21", 0x6F7C52B3},
    {"(0 - 3) ** 21", 0x9083AD4D},
    {"10 ** 15", 0xA4C68000},
    {"0 ** -1", 0},
    {"2 ** 0x7FFFFFFF", 0},
    // Constant words; keywords made of letters are case-insensitive.
    {"true + true", 2},
    {"true * 7", 7},
    {"false", 0},
    {"null", 0},
    {"TRUE", 1},
    // Labels, defined before and after their references, in any case.
    {"back", 0x1000},
    {"fwd", 0x2000},
    {"FWD", 0x2000},
    {"Back + 4", 0x1004},
    {"fwd - back", 0x1000},
    {"(fwd - back) / 0x100", 0x10},
    // The test-expression form: one operator applied to two literal integers.
    {"(# 7) + 5", 12},
    {"(# 7) - 9", 0xFFFFFFFE},
    {"(# 6) * 7", 42},
    {"(# 7) / 2", 3},
    {"(# 0xFFFFFFF9) / 2", 0xFFFFFFFD},
    {"(# 0x80000000) / 0xFFFFFFFF", 0x80000000},
    {"(# 7) @ 5", 0x666},
    {"(# 7) > 5", 1},
    {"(# 5) > 7", 0},
    {"(# 3) < 5", 1},
    {"(# 0xFFFFFFFF) < 0", 1},
    {"(# 2) == 2", 1},
    {"(# 3) >= 4", 0},
    {"(# 3) <= 3", 1},
    {"(# 3) != 3", 0},
    {"(# 0) || 5", 1},
    {"(# 2) && 0", 0},
    {"(# 6) ^ 3", 5},
    {"(# 6) | 3", 7},
    {"(# 6) & 3", 2},
    {"(# 1) << 33", 2},
    {"(# 0x80000000) >> 31", 0xFFFFFFFF},
};

bool is_test_form(const Case &c) {
  return std::string(c.text).rfind("(#", 0) == 0;
}

constexpr std::uint32_t addi_1_0 = 0x20010000; // addi $1, $0, 0

TEST_F(Expressions, EvaluateToTheirValues) {
  std::string source = "        .data 0x1000\nback:\n        .text\n";
  for (const Case &c : cases)
    source +=
        std::string(is_test_form(c) ? "        addi $1, $0, " : "        .word ") + c.text + "\n";
  source += "        .data 0x2000\nfwd:\n";

  Outcome run = assemble(source);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::vector<std::uint32_t> words;
  ASSERT_TRUE(read_words(run.object, words)) << "unexpected object file:\n" << run.object;
  ASSERT_EQ(words.size(), std::size(cases)) << run.object;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const Case &c = cases[i];
    const std::uint32_t want = is_test_form(c) ? addi_1_0 | (c.value & 0xFFFF) : c.value;
    EXPECT_EQ(hex(words[i]), hex(want)) << "'" << c.text << "'";
  }
}

TEST_F(Expressions, TestFormWithoutOperatorPrintsUnexpectedCodeAndYieldsZero) {
  Outcome run = assemble("        addi $1, $0, (# 7) 5\n");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("unexpected code\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Error"), std::string::npos) << run.out;
  std::vector<std::uint32_t> words;
  ASSERT_TRUE(read_words(run.object, words)) << run.object;
  EXPECT_EQ(words, std::vector<std::uint32_t>{addi_1_0});
}

// Sources that must end the run with exit status 1 and the given message. A syntax error stops
// the run after pass 1, leaving the object file empty; an undefined label and a division by zero
// are reported in pass 3 only, once per occurrence, after their value 0 has been written.
struct Failure {
  const char *source;
  const char *message;
  std::size_t count;
  std::optional<std::vector<std::uint32_t>> words; // the object's words, or none: empty object
};

TEST_F(Expressions, FaultsEndTheRunWithTheirMessage) {
  const Failure failures[] = {
      {"        .word (1 < 2)\n", "Scanned '<' whilst expecting ')'\n", 1, std::nullopt},
      {"        .word 1 < 2 < 3\n", "Scanned '<' whilst expecting one of EOF, EOLN, '(', '0'\n", 1,
       std::nullopt},
      {"        .word nowhere\n        .word NoWhere + 1\n", "Undefined symbol 'nowhere'\n", 2,
       std::vector<std::uint32_t>{0, 1}},
      {"        .word -nowhere\n        .word ~nowhere * 2\n", "Undefined symbol 'nowhere'\n", 2,
       std::vector<std::uint32_t>{0, 0xFFFFFFFE}},
      {"        .word - )\n",
       "Scanned ')' whilst expecting one of ID, INTEGER, '!', '(', '+', '-', 'false', 'null', "
       "'true', '~'\n",
       1, std::nullopt},
      {"        .word 1 / 0\n        addi $1, $0, (# 5) / 0\n", "Division by zero\n", 2,
       std::vector<std::uint32_t>{0, addi_1_0}},
  };
  for (const Failure &failure : failures) {
    SCOPED_TRACE(failure.source);
    Outcome run = assemble(failure.source);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_EQ(occurrences(run.out, failure.message), failure.count) << run.out;
    if (!failure.words) {
      EXPECT_EQ(run.object, "");
      continue;
    }
    std::vector<std::uint32_t> words;
    EXPECT_TRUE(read_words(run.object, words)) << run.object;
    EXPECT_EQ(words, *failure.words);
  }
}

} // namespace
