// The assembler's token set: the keyword table and the token-name block checked for order,
// numbering, prefix closure and classes, then the scanner run over assembler source with that
// table: numbers, identifiers, registers, directives, strings, comments, unexpected characters,
// the token echo and the syntax-error reports.
#include <gtest/gtest.h>

#include "output_capture.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "scan.h"
#include "scanner.h"
#include "set.h"
#include "symbol.h"
#include "textio.h"
#include "tokens.h"

namespace {

using test_support::output_of;
using test_support::shown;

// ---- the keyword table and the token names ----

std::string spelling(int token) {
  return kel_keywords[token - SCAN_P_TOP].spelling;
}

bool identifier_shaped(const std::string &s) {
  const auto c = static_cast<unsigned char>(s[0]);
  return std::isalpha(c) || c == '_';
}

bool starts_with_letter_digit_or_underscore(const std::string &s) {
  const auto c = static_cast<unsigned char>(s[0]);
  return std::isalnum(c) || c == '_';
}

TEST(KeywordTable, AscendsInByteOrderNumberedFromSixteen) {
  for (int token = SCAN_P_TOP + 1; token < T_TOKEN_COUNT_; ++token)
    EXPECT_LT(std::strcmp(kel_keywords[token - SCAN_P_TOP - 1].spelling,
                          kel_keywords[token - SCAN_P_TOP].spelling),
              0)
        << "token " << token << " " << spelling(token);

  // The first number of every ten in the published numbering, and some the grammar names.
  const std::map<int, std::string> numbered = {
      {16, "!"},      {26, "$13"},    {36, "$22"},   {46, "$31"},
      {56, "$sp"},    {66, "-"},      {76, ".bloc"}, {86, ".dat"},
      {96, ".eq"},    {106, ".fr"},   {116, ".ha"},  {126, ".m"},
      {136, ".set"},  {146, ".w"},    {156, "<<"},   {166, "add"},
      {176, "bgeu"},  {186, "bltu"},  {196, "jr"},   {206, "mfhi"},
      {216, "neg"},   {226, "ror"},   {236, "sll"},  {246, "srlv"},
      {255, "~"},     {18, "\""},     {19, "#"},     {60, "(#"},
      {145, ".text"}, {149, ".word"}, {152, "0"},    {192, "gcc2_compiled"}};
  for (const auto &[token, text] : numbered)
    EXPECT_EQ(spelling(token), text) << "token " << token;

  EXPECT_EQ(T_BANG, 16);
  EXPECT_EQ(T_DQUOTE, 18);
  EXPECT_EQ(T_SP, 56);
  EXPECT_EQ(T_COMMA, 65);
  EXPECT_EQ(T_DOT_TEXT, 145);
  EXPECT_EQ(T_ADD, 166);
  EXPECT_EQ(T_XORI, 252);
  EXPECT_EQ(T_TILDE, 255);
}

TEST(KeywordTable, EveryBeginningOfAPunctuationKeywordIsAKeyword) {
  std::set<std::string> all;
  for (const kel_keyword &k : kel_keywords)
    all.insert(k.spelling);
  int punctuation = 0;
  for (const kel_keyword &k : kel_keywords) {
    const std::string s = k.spelling;
    if (starts_with_letter_digit_or_underscore(s)) continue;
    ++punctuation;
    for (size_t n = 1; n < s.size(); ++n)
      EXPECT_TRUE(all.count(s.substr(0, n))) << s.substr(0, n) << " (beginning of " << s << ")";
  }
  EXPECT_EQ(punctuation, 151);
}

TEST(KeywordTable, ClassesPartitionTheTable) {
  const std::vector<std::string> directives = {
      ".align", ".blockb", ".blockh",  ".blockw", ".byte", ".data", ".end",
      ".equ",   ".half",   ".include", ".string", ".text", ".word"};
  const std::vector<std::string> comment_introducers = {
      "#",     ".endproc", ".ent", ".file", ".fmask", ".frame",       ".globl",
      ".mask", ".proc",    ".set", "//",    ";",      "gcc2_compiled"};
  const std::vector<std::string> registers = [] {
    std::vector<std::string> names = {"$sp", "$fp"};
    for (int r = 0; r < 32; ++r)
      names.push_back("$" + std::to_string(r));
    return names;
  }();
  const std::vector<std::string> constants = {"true", "false", "null"};
  const std::vector<std::string> punctuation = {
      "\"", "$", ":",  ",",  "(",  ")", "(#", "!",  "!=", "&", "&&", "*",  "**", "+", "-",
      "/",  "<", "<<", "<=", "==", ">", ">=", ">>", "@",  "^", "|",  "||", "~",  "0"};
  const std::vector<std::string> prefixes = {
      "$f",    "$s",     "=",    ".",     ".a",     ".al",     ".ali",    ".alig",
      ".b",    ".bl",    ".blo", ".bloc", ".block", ".by",     ".byt",    ".d",
      ".da",   ".dat",   ".e",   ".en",   ".endp",  ".endpr",  ".endpro", ".eq",
      ".f",    ".fi",    ".fil", ".fm",   ".fma",   ".fmas",   ".fr",     ".fra",
      ".fram", ".g",     ".gl",  ".glo",  ".glob",  ".h",      ".ha",     ".hal",
      ".i",    ".in",    ".inc", ".incl", ".inclu", ".includ", ".m",      ".ma",
      ".mas",  ".p",     ".pr",  ".pro",  ".s",     ".se",     ".st",     ".str",
      ".stri", ".strin", ".t",   ".te",   ".tex",   ".w",      ".wo",     ".wor"};
  EXPECT_EQ(directives.size(), 13u);
  EXPECT_EQ(comment_introducers.size(), 13u);
  EXPECT_EQ(registers.size(), 34u);
  EXPECT_EQ(punctuation.size(), 29u);
  EXPECT_EQ(prefixes.size(), 64u);

  std::map<std::string, const kel_keyword *> table;
  for (const kel_keyword &k : kel_keywords)
    table[k.spelling] = &k;
  std::map<std::string, int> classes_of;
  for (const auto *list :
       {&directives, &comment_introducers, &registers, &constants, &punctuation, &prefixes})
    for (const std::string &s : *list) {
      EXPECT_TRUE(table.count(s)) << s << " missing";
      ++classes_of[s];
    }

  // Mnemonics are the identifier-shaped keywords that are neither constants nor introducers.
  int mnemonics = 0;
  for (const kel_keyword &k : kel_keywords) {
    const std::string s = k.spelling;
    if (identifier_shaped(s) && !classes_of.count(s)) {
      ++mnemonics;
      ++classes_of[s];
    }
    EXPECT_EQ(classes_of[s], 1) << s << " is in " << classes_of[s] << " classes";
  }
  EXPECT_EQ(mnemonics, 84);

  // Only the string delimiter and the comment introducers have an extended kind.
  for (const kel_keyword &k : kel_keywords) {
    const std::string s = k.spelling;
    if (s == "\"") {
      ASSERT_NE(k.second, nullptr);
      EXPECT_STREQ(k.second, "\\");
      EXPECT_EQ(k.extended, SCAN_P_STRING_ESC);
      continue;
    }
    EXPECT_EQ(k.second, nullptr) << s;
    const bool introducer = std::find(comment_introducers.begin(), comment_introducers.end(), s) !=
                            comment_introducers.end();
    EXPECT_EQ(k.extended, introducer ? SCAN_P_COMMENT_LINE : 0) << s;
  }
}

TEST(TokenNames, PrimitiveNamesThenQuotedSpellingsThenAnEmptyName) {
  const char *const primitives[SCAN_P_TOP] = {"IGNORE",       "ID",
                                              "INTEGER",      "REAL",
                                              "CHAR",         "CHAR_ESC",
                                              "STRING",       "STRING_ESC",
                                              "COMMENT",      "COMMENT_VISIBLE",
                                              "COMMENT_NEST", "COMMENT_NEST_VISIBLE",
                                              "COMMENT_LINE", "COMMENT_LINE_VISIBLE",
                                              "EOF",          "EOLN"};
  const char *name = kel_tokens;
  for (int token = 0; token < 256; ++token) {
    const std::string expected =
        token < SCAN_P_TOP ? primitives[token] : "'" + spelling(token) + "'";
    EXPECT_EQ(name, expected) << "token " << token;
    name += std::strlen(name) + 1;
  }
  EXPECT_EQ(*name, '\0');
}

TEST(KelLoadKeywords, EntersEveryKeywordWithItsNumberAndKind) {
  text_init(8192, 25, 100, 8);
  scan_init(1, 1, 0, 0, kel_tokens);
  kel_load_keywords();
  for (int token = SCAN_P_TOP; token < T_TOKEN_COUNT_; ++token) {
    const kel_keyword &k = kel_keywords[token - SCAN_P_TOP];
    const char *key = k.spelling;
    const auto *found = static_cast<const scan_data *>(
        symbol_lookup_key(scan_table, const_cast<char **>(&key), nullptr));
    ASSERT_NE(found, nullptr) << k.spelling;
    EXPECT_EQ(found->token, token) << k.spelling;
    EXPECT_EQ(found->extended, k.extended) << k.spelling;
    EXPECT_STREQ(found->id, k.spelling);
    if (k.second != nullptr) {
      EXPECT_STREQ(found->id + std::strlen(found->id) + 1, k.second) << k.spelling;
    }
  }
}

// ---- the scanner with the assembler's table ----

const char *source_file(const std::string &bytes) {
  static std::deque<std::string> paths;
  paths.push_back(testing::TempDir() + "tokens_" + std::to_string(getpid()) + "_" +
                  std::to_string(paths.size()) + ".asm");
  FILE *f = std::fopen(paths.back().c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return paths.back().c_str();
}

// Sets up as the driver does and reads the first token of a new file holding `source`; returns
// the file's name (the file itself is removed once opened).
const char *start(const std::string &source, int symbol_echo = 0, uint32_t max_errors = 25) {
  text_init(1 << 16, max_errors, 100, 8);
  scan_init(1, 1, 0, symbol_echo, kel_tokens);
  kel_load_keywords();
  const char *name = source_file(source);
  EXPECT_NE(text_open(name), nullptr);
  std::remove(name);
  text_get_char();
  scan_();
  return name;
}

std::string name_of(int token) {
  return test_support::name_in(kel_tokens, token);
}

// The current token: its name, then for identifiers, numbers and strings its text, and for
// numbers their value.
std::string current() {
  const scan_data &t = *text_scan_data;
  std::string s = name_of(t.token);
  if (t.token == SCAN_P_ID || t.token == SCAN_P_INTEGER || t.token == SCAN_P_REAL ||
      t.extended != 0)
    s += ":" + shown(t.id);
  if (t.token == SCAN_P_INTEGER) s += "=" + std::to_string(t.data.u);
  if (t.token == SCAN_P_REAL) {
    std::ostringstream value;
    value << t.data.r;
    s += "=" + value.str();
  }
  return s;
}

// The tokens from the current one up to EOF, separated by blanks, without the final line end
// and EOF of a one-line source.
std::string rest() {
  std::string s = current();
  for (int n = 0; text_scan_data->token != SCAN_P_EOF && n < 1000; ++n) {
    scan_();
    s += " " + current();
  }
  const std::string tail = "EOLN EOF";
  if (s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0)
    s.erase(s.size() > tail.size() ? s.size() - tail.size() - 1 : 0);
  return s;
}

// "//      1: <word> <marker> (file) <text>"
std::string message(const char *file, const char *word, int marker, const std::string &text) {
  return "//      1: " + std::string(word) + " " + std::to_string(marker) + " (" + file + ") " +
         text;
}

struct token_case {
  const char *source; // one line; its line end is added
  const char *tokens; // up to, not including, the line's EOLN
};

void expect_tokens(std::initializer_list<token_case> cases) {
  for (const token_case &c : cases) {
    std::string tokens;
    const std::string out = output_of([&] {
      start(std::string(c.source) + "\n");
      tokens = rest();
    });
    EXPECT_EQ(tokens, c.tokens) << "source: " << c.source;
    EXPECT_EQ(out, "") << "source: " << c.source;
  }
}

TEST(AssemblerTokens, Numbers) {
  expect_tokens({
      {"123", "INTEGER:123=123"},
      {"0x1F", "INTEGER:0x1F=31"},
      {"0X1f", "INTEGER:0X1f=31"},
      {"007", "INTEGER:007=7"},
      {"08", "INTEGER:08=8"},
      {"0", "INTEGER:0=0"},
      {"1_000", "INTEGER:1000=1000"},
      {"10h", "INTEGER:10h=10"},
      {"12ab34", "INTEGER:12ab=12 INTEGER:34=34"},
      {"1.5", "REAL:1.5=1.5"},
      {"1e5", "REAL:1e5=100000"},
      {"2E+3", "REAL:2E+3=2000"},
      {"25e-2x", "REAL:25e-2x=0.25"},
      {"1.", "INTEGER:1=1 '.'"},
      {"0x1e5", "INTEGER:0x1e5=485"},
      {"0x", "INTEGER:0x=0"},
      {"4294967295", "INTEGER:4294967295=4294967295"},
      {"4294967296", "INTEGER:4294967296=4294967295"},
      {"0x100000000", "INTEGER:0x100000000=4294967295"},
      {"123456789012345678901234567890", "INTEGER:123456789012345678901234567890=4294967295"},
  });
}

TEST(AssemblerTokens, IdentifiersRegistersAndDirectives) {
  expect_tokens({
      {"Loop", "ID:loop"},
      {"ADD", "'add'"},
      {"MOVE $2, $3", "'move' '$2' ',' '$3'"},
      {"$SP", "'$' ID:sp"},
      {"$sp $fp", "'$sp' '$fp'"},
      {"$1x", "'$1' ID:x"},
      {"$32", "'$3' INTEGER:2=2"},
      {"$05", "'$0' INTEGER:5=5"},
      {"$s0", "'$s' INTEGER:0=0"},
      {"$ra", "'$' ID:ra"},
      {".TEXT", "'.' ID:text"},
      {".textual", "'.text' ID:ual"},
      {".data1", "'.data' INTEGER:1=1"},
      {".ascii", "'.a' ID:scii"},
      {".end main", "'.end' ID:main"},
      {"(#", "'(#'"},
      {"x = 1", "ID:x '=' INTEGER:1=1"},
      {"a<<=x>>c**d", "ID:a '<<' '=' ID:x '>>' ID:c '**' ID:d"},
      {"lw $1, -4($sp)", "'lw' '$1' ',' '-' INTEGER:4=4 '(' '$sp' ')'"},
  });
}

TEST(AssemblerTokens, CommentsAndCompilerBookkeepingLeaveOnlyTheLineEnd) {
  expect_tokens({
      {"# comment", ""},
      {"// comment", ""},
      {"; comment", ""},
      {".globl main", ""},
      {".frame $sp,24,$31", ""},
      {".mask 0x80000000,-8", ""},
      {".fmask 0x00000000,0", ""},
      {".ent main", ""},
      {".entry x", ""},
      {".endproc main", ""},
      {".file 1 \"a.c\"", ""},
      {".proc main", ""},
      {".set noreorder", ""},
      {"gcc2_compiled.:", ""},
      {"GCC2_Compiled.", ""},
      {"add $1, $2, $3 # sum", "'add' '$1' ',' '$2' ',' '$3'"},
      {"nop;x", "'nop'"},
  });
}

TEST(AssemblerStrings, Escapes) {
  expect_tokens({
      {"\"ab\"", "'\"':ab"},
      {"\"\"", "'\"':"},
      {"\"\\t\"", "'\"':\\x09"},
      {"\"\\x41\"", "'\"':A"},
      {"\"\\101\"", "'\"':A"},
      {"\"\\xff\"", "'\"':\\xFF"},
      {"\"\\q\"", "'\"':q"},
      {"\"\\\\\\\"\"", "'\"':\\\""},
      {"\"tab\\tA\\x41\\101\\q\"", "'\"':tab\\x09AAAq"},
      {"\"\xE9\x80\xFF\"", "'\"':\\xE9\\x80\\xFF"},
      {"\"a # b ; c\" x", "'\"':a # b ; c ID:x"},
  });
}

TEST(AssemblerStrings, HexEscapeAboveEightBitsStoresTheLowByteAndWarns) {
  const char *file = nullptr;
  char stored = 'x';
  const std::string out = output_of([&] {
    file = start("\"\\x100\"\n");
    stored = text_scan_data->id[0];
  });
  EXPECT_EQ(stored, '\0');
  EXPECT_EQ(out.substr(0, out.find('\n') + 1),
            message(file, "Warning", 1, "Hex escape sequence overflows eight bits: wrapping\n"));
}

TEST(AssemblerStrings, EscapedLineEndContinuesOnTheNextLine) {
  unsigned long line = 0;
  std::string tokens;
  output_of([&] {
    start("\"ab\\\ncd\" x\n");
    tokens = current();
    scan_();
    line = text_line_number();
    tokens += " " + rest();
  });
  EXPECT_EQ(tokens, "'\"':ab\\x0Acd ID:x");
  EXPECT_EQ(line, 2u);
}

TEST(AssemblerStrings, UnterminatedStringLosesTheLineEnd) {
  const char *file = nullptr;
  std::string tokens;
  const std::string out = output_of([&] {
    file = start(".string \"abc\nnop\n");
    tokens = rest();
  });
  EXPECT_EQ(tokens, "'.string' '\"':abc 'nop'");
  EXPECT_EQ(out, message(file, "Error", 1, "Unterminated string\n") + "//      1: .string \"abc\n"
                                                                      "//      1: -----------1\n");
}

TEST(AssemblerErrors, UnexpectedCharacters) {
  struct {
    std::string source;
    const char *shown;
  } cases[] = {
      {"`", "0x60 '`'"},
      {"?", "0x3F '?'"},
      {"\x01", "0x01 ' '"},
      {"\x7F", "0x7F ' '"},
      {std::string(1, '\0'), "0x00 ' '"},
      {"\x80", "0x80 ' '"},
      {"\xFF", "0xFF ' '"},
  };
  for (const auto &c : cases) {
    const char *file = nullptr;
    std::string tokens;
    const std::string out = output_of([&] {
      file = start("nop " + c.source + " nop\n");
      tokens = rest();
    });
    EXPECT_EQ(tokens, "'nop' 'nop'") << c.shown;
    EXPECT_EQ(out.substr(0, out.find('\n') + 1),
              message(file, "Error", 1,
                      std::string("Unexpected character ") + c.shown + " in source file\n"));
  }
}

TEST(AssemblerErrors, EveryByteAboveSeventyFIsUnexpected) {
  std::string bytes;
  for (int c = 0x80; c <= 0xFF; ++c)
    bytes += static_cast<char>(c);
  const char *file = nullptr;
  std::string tokens;
  const std::string out = output_of([&] {
    file = start(bytes + "\n", 0, 0);
    tokens = rest();
  });
  EXPECT_EQ(tokens, "");
  std::string expected;
  for (int c = 0x80; c <= 0xFF; ++c) {
    char text[64];
    std::snprintf(text, sizeof text, "Unexpected character 0x%02X ' ' in source file\n", c);
    expected += message(file, "Error", c - 0x7F, text);
  }
  expected += "//      1: " + bytes + "\n//      1: 123456789\n";
  EXPECT_EQ(out, expected);
}

TEST(TokenEcho, EveryTokenReadIncludingLineEndAndEndOfInput) {
  const char *file = nullptr;
  const std::string out = output_of([&] {
    file = start("add $1, x, 12 \"hi\" 1.5 # c\n", 1);
    rest();
  });
  const std::string p = "//      1: (" + std::string(file) + ") Scanned ";
  EXPECT_EQ(out, p + "'add' id 'add'\n" + p + "'$1' id '$1'\n" + p + "',' id ','\n" + p +
                     "ID id 'x'\n" + p + "',' id ','\n" + p + "INTEGER id '12'\n" + p +
                     "'\"' id 'hi'\n" + p + "REAL id '1.5'\n" + p + "EOLN id 'EOLN'\n" +
                     "// ******: Scanned EOF id 'EOF'\n");
}

TEST(SyntaxError, NamesTheTokenFoundAndTheTokenExpected) {
  const char *file = nullptr;
  const std::string out = output_of([&] {
    file = start("x y\n");
    set_ stop{};
    set_assign_list(&stop, {SCAN_P_EOLN, SCAN_P_EOF});
    EXPECT_EQ(scan_test(nullptr, T_COMMA, &stop), 0);
    EXPECT_EQ(text_scan_data->token, SCAN_P_EOLN);
  });
  EXPECT_EQ(out.substr(0, out.find('\n') + 1),
            message(file, "Error", 1, "Scanned ID whilst expecting ','\n"));
}

// The expected-token list of a syntax error reads exactly as the set printer prints the set.
TEST(SyntaxError, ExpectedListReadsAsTheSetPrinterPrintsIt) {
  const char *file = nullptr;
  output_of([&] { file = start("x\n", 0, 0); });
  set_ stop{};
  set_assign_list(&stop, {SCAN_P_ID, SCAN_P_EOF});

  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int round = 0; round < 200; ++round) {
    set_ valid{};
    set_assign_list(&valid, {SET_LIST_END});
    // Densities from a single member up to every token, never including the current token.
    const uint32_t density = round % 10;
    for (uint32_t token = 0; token < 256; ++token)
      if (token != SCAN_P_ID && (round == 0 ? token == 200 : next() % 10 < density)) {
        set_grow(&valid, token / 8 + 1);
        valid.elements[token / 8] |= static_cast<unsigned char>(1u << (token % 8));
      }
    const std::string listed = output_of([&] { set_print_set(&valid, kel_tokens, 60); });
    const std::string out = output_of([&] { scan_test_set(nullptr, &valid, &stop); });
    const char *one_of = set_cardinality(&valid) == 1 ? "" : "one of ";
    EXPECT_EQ(out, message(file, "Error", round + 1,
                           std::string("Scanned ID whilst expecting ") + one_of + listed + "\n"))
        << "round " << round;
  }
}

} // namespace
