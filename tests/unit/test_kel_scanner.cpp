// Scanner and parser test primitives against a small keyword table that exercises every extended
// kind: tokens, strings, characters, the comment kinds, unexpected characters, the end of an
// included file inside a token, the switches of scan_init, and the syntax-error reports.
#include <gtest/gtest.h>

#include "output_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "scan.h"
#include "scanner.h"
#include "set.h"
#include "symbol.h"
#include "textio.h"

namespace {

using test_support::output_of;
using test_support::output_to_stderr;
using test_support::shown;

enum test_token : int {
  K_LPAR = SCAN_P_TOP,
  K_LPAR_STAR,
  K_COMMA,
  K_DOT,
  K_DOT_D,
  K_DOT_DW,
  K_COLON,
  K_LT,
  K_LT_STAR,
  K_SHL,
  K_SHL_EQ,
  K_DQUOTE,
  K_QUOTE,
  K_HASH,
  K_PERCENT,
  K_LBRACE,
  K_SLASH,
  K_SLASH_STAR,
  K_QUERY,
  K_AT,
  K_ADD,
  K_REM,
  K_END
};

struct test_keyword {
  const char *spelling;
  const char *second;
  int extended;
};

// In token order from K_LPAR. Every proper beginning of a punctuation keyword is a keyword.
constexpr test_keyword test_keywords[] = {
    {"(", nullptr, 0},
    {"(*", "*)", SCAN_P_COMMENT_NEST},
    {",", nullptr, 0},
    {".", nullptr, 0},
    {".d", nullptr, 0},
    {".dw", nullptr, 0},
    {":", nullptr, 0},
    {"<", nullptr, 0},
    {"<*", "*>", SCAN_P_COMMENT_NEST_VISIBLE},
    {"<<", nullptr, 0},
    {"<<=", nullptr, 0},
    {"\"", "\\", SCAN_P_STRING_ESC},
    {"'", nullptr, SCAN_P_STRING},
    {"#", nullptr, SCAN_P_COMMENT_LINE},
    {"%", nullptr, SCAN_P_COMMENT_LINE_VISIBLE},
    {"{", "}", SCAN_P_COMMENT},
    {"/", nullptr, 0},
    {"/*", "*/", SCAN_P_COMMENT_VISIBLE},
    {"?", nullptr, SCAN_P_CHAR},
    {"@", "\\", SCAN_P_CHAR_ESC},
    {"add", nullptr, 0},
    {"rem", nullptr, SCAN_P_COMMENT_LINE},
};
static_assert(std::size(test_keywords) == static_cast<size_t>(K_END) - SCAN_P_TOP);

constexpr const char *primitive_names[SCAN_P_TOP] = {"IGNORE",       "ID",
                                                     "INTEGER",      "REAL",
                                                     "CHAR",         "CHAR_ESC",
                                                     "STRING",       "STRING_ESC",
                                                     "COMMENT",      "COMMENT_VISIBLE",
                                                     "COMMENT_NEST", "COMMENT_NEST_VISIBLE",
                                                     "COMMENT_LINE", "COMMENT_LINE_VISIBLE",
                                                     "EOF",          "EOLN"};

// The token-name list: every name ended by a NUL.
const std::string &token_names() {
  static const std::string names = [] {
    std::string block;
    for (const char *name : primitive_names)
      block.append(name).push_back('\0');
    for (const test_keyword &k : test_keywords)
      block.append("'").append(k.spelling).append("'").push_back('\0');
    block.push_back('\0');
    return block;
  }();
  return names;
}

std::string name_of(int token) {
  return test_support::name_in(token_names().data(), token);
}

// A source file with the given bytes; its name stays valid for the whole test, as the text
// module keeps the pointer. The file itself is removed once opened.
const char *source_file(const std::string &bytes) {
  static std::deque<std::string> paths;
  paths.push_back(testing::TempDir() + "scanner_" + std::to_string(getpid()) + "_" +
                  std::to_string(paths.size()) + ".src");
  FILE *f = std::fopen(paths.back().c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return paths.back().c_str();
}

struct options {
  int case_insensitive = 1;
  int newline_visible = 1;
  int show_skips = 0;
  int symbol_echo = 0;
  uint32_t max_errors = 25;
};

// Opens a source file and reads its first token, as the driver and the inclusion directive do.
void open_source(const char *name) {
  EXPECT_NE(text_open(name), nullptr);
  std::remove(name);
  text_get_char();
  scan_();
}

// Sets up the text module and the scanner with the test table and reads the first token of the
// given source file.
void start_file(const char *name, options o = {}) {
  text_init(1 << 16, o.max_errors, 100, 8);
  scan_init(o.case_insensitive, o.newline_visible, o.show_skips, o.symbol_echo,
            token_names().data());
  int token = SCAN_P_TOP;
  for (const test_keyword &k : test_keywords)
    scan_load_keyword(k.spelling, k.second, token++, k.extended);
  open_source(name);
}

// The same for a new file holding `source`; returns the file's name.
const char *start(const std::string &source, options o = {}) {
  const char *name = source_file(source);
  start_file(name, o);
  return name;
}

// The current token: its name, then for identifiers, numbers and extended keywords its text,
// and for integers and characters the value.
std::string current() {
  const scan_data &t = *text_scan_data;
  std::string s = name_of(t.token);
  if (t.token == SCAN_P_ID || t.token == SCAN_P_INTEGER || t.extended != 0) s += ":" + shown(t.id);
  if (t.token == SCAN_P_INTEGER || t.extended == SCAN_P_CHAR || t.extended == SCAN_P_CHAR_ESC)
    s += "=" + std::to_string(t.data.u);
  return s;
}

// The tokens from the current one up to and including EOF, separated by blanks.
std::string rest() {
  std::string s = current();
  for (int n = 0; text_scan_data->token != SCAN_P_EOF && n < 1000; ++n) {
    scan_();
    s += " " + current();
  }
  return s;
}

// An error message with a marker on line 1: "//      1: Error <marker> (file) <text>".
std::string error_line(const char *file, int marker, const std::string &text) {
  return "//      1: Error " + std::to_string(marker) + " (" + file + ") " + text;
}

struct token_case {
  const char *source;
  const char *tokens;
};

void expect_tokens(std::initializer_list<token_case> cases, options o = {}) {
  for (const token_case &c : cases) {
    std::string tokens;
    const std::string out = output_of([&] {
      start(c.source, o);
      tokens = rest();
    });
    EXPECT_EQ(tokens, c.tokens) << "source: " << c.source;
    EXPECT_EQ(out, "") << "source: " << c.source;
  }
}

TEST(ScannerTokens, IdentifiersNumbersLineEndsAndPunctuation) {
  expect_tokens({
      {"loop: add 12\n", "ID:loop ':' 'add' INTEGER:12=12 EOLN EOF"},
      {"LOOP Add\n", "ID:loop 'add' EOLN EOF"},
      {"_x1_ 9a\n", "ID:_x1_ INTEGER:9a=9 EOLN EOF"},
      {"a<<=b<<c<d\n", "ID:a '<<=' ID:b '<<' ID:c '<' ID:d EOLN EOF"},
      {".dwx .d. .\n", "'.dw' ID:x '.d' '.' '.' EOLN EOF"},
      {"((,\n", "'(' '(' ',' EOLN EOF"},
      {"\ta\v\fb\r\n\n", "ID:a ID:b EOLN EOLN EOF"},
      {"", "EOF"},
  });
}

// Numbers of every form the scanner knows, on both sides of the lengths up to which a plain one
// needs no saturation, and with what can follow a number's digits.
TEST(ScannerTokens, NumbersOfEveryForm) {
  expect_tokens({
      {"123456789 1234567890 4294967295 4294967296 99999999999\n",
       "INTEGER:123456789=123456789 INTEGER:1234567890=1234567890 "
       "INTEGER:4294967295=4294967295 INTEGER:4294967296=4294967295 "
       "INTEGER:99999999999=4294967295 EOLN EOF"},
      {"0xFFFFFFFF 0X1f 0x123456789 0x 0x1Fg 0x1.\n",
       "INTEGER:0xFFFFFFFF=4294967295 INTEGER:0X1f=31 INTEGER:0x123456789=4294967295 "
       "INTEGER:0x=0 INTEGER:0x1Fg=31 INTEGER:0x1=1 '.' EOLN EOF"},
      {"007 1_000 10h 1. 2,(3\n",
       "INTEGER:007=7 INTEGER:1000=1000 INTEGER:10h=10 INTEGER:1=1 '.' INTEGER:2=2 ',' '(' "
       "INTEGER:3=3 EOLN EOF"},
  });
}

TEST(ScannerTokens, ExtendedKinds) {
  expect_tokens({
      // a character, or an escape sequence after the escape character
      {"?a?? ? ?\n", "'?':a=97 '?':?=63 '?': =32 '?':=0 EOLN EOF"},
      {"@a @\\n @\\x41 @\\\\ @@\n", "'@':a=97 '@':\\x0A=10 '@':A=65 '@':\\=92 '@':@=64 EOLN EOF"},
      // a string whose delimiter doubled stands for itself
      {"'it''s' '' ''''\n", "''':it's ''': ''':' EOLN EOF"},
      // comments to the end of the line, skipped or kept; an identifier keyword as introducer
      {"a # gone\n", "ID:a EOLN EOF"},
      {"a % kept here\n", "ID:a '%': kept here EOLN EOF"},
      {"REM all of it\nx\n", "EOLN ID:x EOLN EOF"},
      // block comments with a one- and a two-character closing text
      {"a { skipped\n over lines } b\n", "ID:a ID:b EOLN EOF"},
      {"/* x * / **/ /\n", "'/*': x * / * '/' EOLN EOF"},
      {"/* a\nb */ x\n", "'/*': a\\x0Ab  ID:x EOLN EOF"}, // the line end, no extra space
      // nesting comments count further opening texts
      {"(* a (* b *) c *) d\n", "ID:d EOLN EOF"},
      {"(*) still open *) x\n", "ID:x EOLN EOF"},
      {"<* a <* b *> c *>x\n", "'<*': a <* b *> c  ID:x EOLN EOF"},
  });
}

TEST(ScannerTokens, SwitchesOfScanInit) {
  options o;
  o.case_insensitive = 0;
  expect_tokens({{"ADD add Loop\n", "ID:ADD 'add' ID:Loop EOLN EOF"}}, o);
  o = {};
  o.newline_visible = 0;
  expect_tokens({{"a\n\nb # c\n@\n", "ID:a ID:b '@':=0 EOF"}}, o);
}

TEST(ScannerStrings, EscapesAndBytesAboveSeventyF) {
  expect_tokens({
      {"\"a\\tb\\x41\\101\\q\\\\\\\"\"\n", "'\"':a\\x09bAAq\\\" EOLN EOF"},
      {"\"\\a\\b\\f\\n\\r\\v\"\n", "'\"':\\x07\\x08\\x0C\\x0A\\x0D\\x0B EOLN EOF"},
      {"\"\\x4G\\1018\"\n", "'\"':\\x04GA8 EOLN EOF"},
      {"\"\xE9\x80\xFF\"\n", "'\"':\\xE9\\x80\\xFF EOLN EOF"},
      {"\"ab\\\ncd\" x\n", "'\"':ab\\x0Acd ID:x EOLN EOF"},
  });
}

TEST(ScannerStrings, NumericEscapeAboveEightBitsWrapsWithWarning) {
  struct {
    const char *source;
    const char *tokens;
    const char *warning;
  } cases[] = {
      {"\"\\1234\"\n", "'\"':\\x9C EOLN EOF", "Octal"},
      {"\"\\xfff\"\n", "'\"':\\xFF EOLN EOF", "Hex"},
      {"\"\\x1000000041\"\n", "'\"':A EOLN EOF", "Hex"}, // wraps beyond 32 bits
      {"\"\\xff\\377\"\n", "'\"':\\xFF\\xFF EOLN EOF", nullptr},
  };
  for (const auto &c : cases) {
    const char *file = nullptr;
    std::string tokens;
    const std::string out = output_of([&] {
      file = start(c.source);
      tokens = rest();
    });
    EXPECT_EQ(tokens, c.tokens) << c.source;
    std::string expected;
    if (c.warning != nullptr)
      expected = "//      1: Warning 1 (" + std::string(file) + ") " + c.warning +
                 " escape sequence overflows eight bits: wrapping\n";
    EXPECT_EQ(out.substr(0, out.find("\n") + 1), expected) << c.source;
  }
}

TEST(ScannerStrings, UnterminatedStringEndsAtLineEndAndConsumesIt) {
  for (const char *source : {"\"abc\nx\n", "'abc\nx\n"}) {
    const char *file = nullptr;
    std::string tokens;
    const std::string out = output_of([&] {
      file = start(source);
      tokens = rest();
    });
    const std::string q = source[0] == '"' ? "'\"'" : "'''";
    EXPECT_EQ(tokens, q + ":abc ID:x EOLN EOF") << source;
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), error_line(file, 1, "Unterminated string\n"));
  }
}

TEST(ScannerStrings, UnterminatedAtEndOfInput) {
  std::string tokens;
  const std::string out = output_of([&] {
    start("x \"ab\\\n");
    tokens = rest();
  });
  // The end-of-file line (a space for the end and the extra space) is read into the string.
  EXPECT_EQ(tokens, "ID:x '\"':ab\\x0A   EOF");
  EXPECT_EQ(out, "// ******: Error 1 - Unterminated string\n");
}

TEST(ScannerErrors, UnexpectedCharacterIsReportedAndSkipped) {
  struct {
    const char *source;
    const char *tokens;
    const char *message;
  } cases[] = {
      {"a $ b\n", "ID:a ID:b EOLN EOF", "0x24 '$'"},
      {"a\x01"
       "b\n",
       "ID:a ID:b EOLN EOF", "0x01 ' '"},
      {"ab\xE9"
       "cd\n",
       "ID:ab ID:cd EOLN EOF", "0xE9 ' '"},
  };
  for (const auto &c : cases) {
    const char *file = nullptr;
    std::string tokens;
    const std::string out = output_of([&] {
      file = start(c.source);
      tokens = rest();
    });
    EXPECT_EQ(tokens, c.tokens) << c.source;
    EXPECT_EQ(
        out.substr(0, out.find('\n') + 1),
        error_line(file, 1, std::string("Unexpected character ") + c.message + " in source file\n"))
        << c.source;
  }
}

TEST(ScannerErrors, NulIsUnexpectedAndEndsAPunctuationMatch) {
  const char *file = nullptr;
  std::string tokens;
  const std::string out = output_of([&] {
    file = start(std::string("<\0<\0a\n", 6));
    tokens = rest();
  });
  EXPECT_EQ(tokens, "'<' '<' ID:a EOLN EOF");
  const std::string nul = "Unexpected character 0x00 ' ' in source file\n";
  const std::string messages = error_line(file, 1, nul) + error_line(file, 2, nul);
  EXPECT_EQ(out.substr(0, messages.size()), messages);
}

TEST(ScannerComments, EndOfInputInsideBlockCommentIsFatal) {
  for (const char *source : {"a { never closed\n", "(* (* *) \n", "/* open\n"}) {
    EXPECT_EXIT(
        {
          output_to_stderr();
          start(source);
          rest();
        },
        testing::ExitedWithCode(1),
        "// \\*\\*\\*\\*\\*\\*: Fatal - Comment terminated by end of file\n$")
        << source;
  }
}

// An included file opened while the line end of the including line is current, as the
// inclusion directive does.
void include(const std::string &source) {
  open_source(source_file(source));
}

TEST(ScannerIncludedFiles, EndReturnsTheLineEndOfTheIncludingLine) {
  std::string tokens;
  output_of([&] {
    start("a\nb\n");
    tokens = current();
    scan_();
    tokens += " " + current();
    include("c\n\n");
    tokens += " [" + rest();
  });
  // The included file's EOF is never seen: its end gives back the EOLN of line 1.
  EXPECT_EQ(tokens, "ID:a EOLN [ID:c EOLN EOLN EOLN ID:b EOLN EOF");
}

TEST(ScannerIncludedFiles, StringRunningPastTheEndIsUnterminated) {
  const char *main_file = nullptr;
  std::string tokens;
  const std::string out = output_of([&] {
    main_file = start("a\nb\n");
    scan_();
    include("\"abc\\\n"); // the escaped line end continues the string into the file's end
    tokens = rest();
  });
  EXPECT_EQ(tokens, "EOLN ID:b EOLN EOF");
  EXPECT_EQ(out.substr(0, out.find('\n') + 1), error_line(main_file, 1, "Unterminated string\n"));
}

TEST(ScannerIncludedFiles, BlockCommentRunningPastTheEndIsFatal) {
  EXPECT_EXIT(
      {
        output_to_stderr();
        start("a\nb\n");
        scan_();
        include("{ open\n");
        std::printf("not reached\n");
      },
      testing::ExitedWithCode(1),
      testing::ContainsRegex("//      1: Fatal \\(.*\\) Comment terminated by end of file\n$"));
}

TEST(ScanLoadKeyword, StoresTextsOneAfterAnotherInTheTextBuffer) {
  text_init(1024, 25, 100, 8);
  scan_init(1, 1, 0, 0, token_names().data());
  char *before = text_top;
  scan_load_keyword("<*", "*>", 40, SCAN_P_COMMENT_NEST);
  EXPECT_EQ(std::string(before, 6), std::string("<*\0*>\0", 6));
  scan_load_keyword("x", nullptr, 41, 0);
  EXPECT_EQ(text_top, before + 8);

  char key_text[] = "<*";
  char *key = key_text;
  const auto *k = static_cast<const scan_data *>(symbol_lookup_key(scan_table, &key, nullptr));
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->id, before);
  EXPECT_EQ(k->token, 40);
  EXPECT_EQ(k->extended, SCAN_P_COMMENT_NEST);
  EXPECT_EQ(k->data.u, 0u);
}

// The scanner's keyword index answers as a lookup in scan_table does, through growth and when a
// spelling is loaded twice (the newer entry hides the older).
TEST(ScanFindKeyword, AgreesWithTheKeywordTable) {
  text_init(1 << 16, 25, 100, 8);
  scan_init(1, 1, 0, 0, token_names().data());
  std::vector<std::string> spellings;
  for (int i = 0; i < 1500; ++i)
    spellings.push_back((i % 3 == 0 ? "k" : i % 3 == 1 ? "$" : "\xE9") + std::to_string(i));
  for (const char *one : {"(", "\xFF", "?"})
    spellings.push_back(one);
  for (size_t i = 0; i < spellings.size(); ++i)
    scan_load_keyword(spellings[i].c_str(), nullptr, static_cast<int>(i), 0);
  scan_load_keyword("k3", nullptr, 9999, 0);
  scan_load_keyword("(", nullptr, 8888, 0);

  spellings.insert(spellings.end(), {"k", "k1500", "$", "x", "(("});
  for (const std::string &s : spellings) {
    char *key = const_cast<char *>(s.c_str());
    const auto *in_table =
        static_cast<const scan_data *>(symbol_lookup_key(scan_table, &key, nullptr));
    EXPECT_EQ(scan_find_keyword(s.data(), static_cast<uint32_t>(s.size())), in_table) << s;
  }
  EXPECT_EQ(scan_find_keyword("k3", 2)->token, 9999);
  EXPECT_EQ(scan_find_keyword("(", 1)->token, 8888);
  EXPECT_EQ(scan_find_keyword("k30", 2)->token, 9999); // the length counts, not a terminator
}

// ---- test and recovery primitives ----

set_ make_set(std::initializer_list<uint32_t> members) {
  set_ set{};
  set_assign_list(&set, members);
  return set;
}

TEST(ScanTest, QuestionWithoutStopSetIsSilent) {
  std::string out = output_of([] {
    start("x :\n");
    set_ colon = make_set({K_COLON});
    EXPECT_EQ(scan_test(nullptr, SCAN_P_ID, nullptr), 1);
    EXPECT_EQ(scan_test(nullptr, K_COLON, nullptr), 0);
    EXPECT_EQ(scan_test_set(nullptr, &colon, nullptr), 0);
    EXPECT_EQ(text_scan_data->token, SCAN_P_ID);
  });
  EXPECT_EQ(out, "");
  EXPECT_EQ(text_total_errors(), 0u);
}

TEST(ScanTest, AssertionReportsAndSkipsToStopSet) {
  const char *file = nullptr;
  const std::string out = output_of([&] {
    file = start("x y : z\n");
    set_ stop = make_set({K_COLON, SCAN_P_EOF});
    EXPECT_EQ(scan_test(nullptr, K_COMMA, &stop), 0);
    EXPECT_EQ(text_scan_data->token, K_COLON);
    // a token already in the stop set is reported and not skipped
    EXPECT_EQ(scan_test("operand", K_COMMA, &stop), 0);
    EXPECT_EQ(text_scan_data->token, K_COLON);
  });
  EXPECT_EQ(out, error_line(file, 1, "Scanned ID whilst expecting ','\n") +
                     error_line(file, 2, "In rule 'operand', scanned ':' whilst expecting ','\n"));
  EXPECT_EQ(text_total_errors(), 2u);
}

TEST(ScanTest, MarkerSitsUnderTheLastCharacterOfTheOffendingToken) {
  const char *file = nullptr;
  const std::string out = output_of([&] {
    file = start("  abc x\n");
    set_ stop = make_set({SCAN_P_EOF});
    scan_test(nullptr, K_COLON, &stop);
  });
  EXPECT_EQ(out, error_line(file, 1, "Scanned ID whilst expecting ':'\n") + "//      1:   abc x\n"
                                                                            "//      1: ----1\n");
}

TEST(ScanTestSet, OneMemberOrOneOfAWrappedList) {
  const char *file = nullptr;
  const std::string out = output_of([&] {
    file = start("x\n");
    set_ stop = make_set({SCAN_P_ID, SCAN_P_EOF});
    set_ one = make_set({K_COLON});
    set_ two = make_set({K_COLON, K_COMMA});
    set_ seven = make_set({SCAN_P_INTEGER, SCAN_P_REAL, SCAN_P_CHAR, SCAN_P_CHAR_ESC, SCAN_P_STRING,
                           SCAN_P_STRING_ESC, SCAN_P_EOF});
    EXPECT_EQ(scan_test_set(nullptr, &one, &stop), 0);
    EXPECT_EQ(scan_test_set(nullptr, &two, &stop), 0);
    EXPECT_EQ(scan_test_set("rule", &seven, &stop), 0);
    set_includes_element(&seven, SCAN_P_TOP); // storage beyond the members changes nothing
    EXPECT_EQ(scan_test_set(nullptr, &seven, &stop), 0);
  });
  const std::string seven_names = "INTEGER, REAL, CHAR, CHAR_ESC, STRING, STRING_ESC, EOF\n";
  EXPECT_EQ(
      out,
      error_line(file, 1, "Scanned ID whilst expecting ':'\n") +
          error_line(file, 2, "Scanned ID whilst expecting one of ',', ':'\n") +
          error_line(file, 3, "In rule 'rule', scanned ID whilst expecting one of " + seven_names) +
          error_line(file, 4, "Scanned ID whilst expecting one of " + seven_names));

  // The separator that brings the names of a line to 60 characters ends the line.
  const std::string wrapped = output_of([] {
    set_ stop = make_set({SCAN_P_ID, SCAN_P_EOF});
    set_ eight = make_set({SCAN_P_INTEGER, SCAN_P_REAL, SCAN_P_CHAR, SCAN_P_CHAR_ESC, SCAN_P_STRING,
                           SCAN_P_STRING_ESC, SCAN_P_COMMENT, SCAN_P_EOF});
    scan_test_set(nullptr, &eight, &stop);
  });
  EXPECT_EQ(wrapped, error_line(file, 5,
                                "Scanned ID whilst expecting one of INTEGER, REAL, CHAR, "
                                "CHAR_ESC, STRING, STRING_ESC, COMMENT, \n"
                                "EOF\n"));
}

TEST(ScanSkip, ShowsSkipsWhenAskedAndAlwaysStopsAtEndOfInput) {
  options o;
  o.show_skips = 1;
  const std::string out = output_of([&] {
    start("x y\n", o);
    set_ colon = make_set({K_COLON}); // lacks EOF
    scan_skip(&colon);
    EXPECT_EQ(text_scan_data->token, SCAN_P_EOF);
  });
  EXPECT_EQ(out, "// ******: Error 1 - Skipping to...\n");
  EXPECT_EQ(text_total_errors(), 1u);
}

TEST(ScanTestSet, TwentySixthErrorPrintsWholeBeforeTheLimitLine) {
  const char *file = source_file("x\n");
  std::string expected;
  for (int i = 1; i <= 26; ++i)
    expected += error_line(file, i, "Scanned ID whilst expecting one of ',', ':'\n");
  expected += "Fatal (" + std::string(file) + "): too many errors\n";
  EXPECT_EXIT(
      {
        output_to_stderr();
        start_file(file);
        set_ stop = make_set({SCAN_P_ID, SCAN_P_EOF});
        set_ valid = make_set({K_COLON, K_COMMA});
        for (int i = 0; i < 26; ++i)
          scan_test_set(nullptr, &valid, &stop);
      },
      testing::ExitedWithCode(1), testing::Eq(expected));
}

// Runs of white space of every length up to past two words, an expanded leading tab, other
// white space bytes, and tabs kept as they are (-t0) all separate tokens the same way.
TEST(ScannerWhiteSpace, RunsOfEveryLengthAndKind) {
  for (int n = 1; n <= 20; ++n) {
    const std::string gap(static_cast<size_t>(n), ' ');
    expect_tokens({{("a" + gap + "," + gap + "b" + gap + "\n").c_str(), "ID:a ',' ID:b EOLN EOF"},
                   {(gap + "\tadd" + gap + "\t\t(" + "\n" + gap).c_str(),
                    "'add' '(' EOLN EOLN EOF"}}); // a last line of blanks has its line end too
  }
  expect_tokens({{" \r \v\f  a\r  \t\r,\n", "ID:a ',' EOLN EOF"}});
  const char *name = source_file("\t a\t\t b \t\n");
  std::string tokens;
  const std::string out = output_of([&] {
    text_init(1 << 16, 25, 100, 0); // tabs stay tabs
    scan_init(1, 1, 0, 0, token_names().data());
    int token = SCAN_P_TOP;
    for (const test_keyword &k : test_keywords)
      scan_load_keyword(k.spelling, k.second, token++, k.extended);
    open_source(name);
    tokens = rest();
  });
  EXPECT_EQ(tokens, "ID:a ID:b EOLN EOF");
  EXPECT_EQ(out, "");
}

// Punctuation keywords grow one character at a time only through keywords: in a table where a
// beginning of a longer spelling is no keyword ("==" of "==="), the chain stops before it. A
// keyword entered again with the same spelling replaces the earlier one, and a keyword that no
// longer spelling continues ends its chain whatever follows.
TEST(ScannerPunctuation, ChainsStopAtBeginningsThatAreNoKeywords) {
  const char *name = source_file("=== ==\n+++ ;;x\n");
  std::vector<int> tokens;
  const std::string out = output_of([&] {
    text_init(1 << 16, 25, 100, 8);
    scan_init(1, 1, 0, 0, nullptr);
    scan_load_keyword("=", nullptr, 20, 0);
    scan_load_keyword("===", nullptr, 21, 0);
    scan_load_keyword("+", nullptr, 22, 0);
    scan_load_keyword("++", nullptr, 23, 0);
    scan_load_keyword("+", nullptr, 24, 0); // replaces the first "+"
    scan_load_keyword(";", nullptr, 25, 0);
    open_source(name);
    for (int n = 0; n < 30; ++n) {
      tokens.push_back(text_scan_data->token);
      if (text_scan_data->token == SCAN_P_EOF) break;
      scan_();
    }
  });
  EXPECT_EQ(tokens, (std::vector<int>{20, 20, 20, 20, 20, SCAN_P_EOLN, 23, 24, 25, 25, SCAN_P_ID,
                                      SCAN_P_EOLN, SCAN_P_EOF}));
  EXPECT_EQ(out, "");
}

// The tokens of `source` (numbers, with the text of identifiers) scanned with only the given
// keywords loaded, each (spelling, token, extended).
struct loaded_keyword {
  const char *spelling;
  int token;
  int extended;
};

std::string tokens_with(const std::string &source, std::initializer_list<loaded_keyword> keywords,
                        int case_insensitive = 1) {
  const char *name = source_file(source);
  std::string tokens;
  const std::string out = output_of([&] {
    text_init(1 << 16, 25, 100, 8);
    scan_init(case_insensitive, 1, 0, 0, nullptr);
    for (const loaded_keyword &k : keywords)
      scan_load_keyword(k.spelling, nullptr, k.token, k.extended);
    open_source(name);
    for (int n = 0; n < 100; ++n) {
      const scan_data &t = *text_scan_data;
      tokens += (tokens.empty() ? "" : " ") + std::to_string(t.token);
      if (t.token == SCAN_P_ID) tokens += std::string(":") + t.id;
      if (t.token == SCAN_P_EOF) break;
      scan_();
    }
  });
  EXPECT_EQ(out, "") << source;
  return tokens;
}

const std::string id = std::to_string(SCAN_P_ID);
const std::string eoln = std::to_string(SCAN_P_EOLN);
const std::string eof = std::to_string(SCAN_P_EOF);

// Identifiers find their keyword by their bytes, however long: spellings of one to eight bytes
// and longer ones, near misses on either side of eight bytes, folded case, a keyword loaded
// again, a keyword that is no token (skipped) and one that reads on (a line comment).
TEST(ScannerIdentifiers, FindTheirKeywordsWhateverTheirLength) {
  const std::initializer_list<loaded_keyword> keywords = {
      {"a", 20, 0},         {"ab", 21, 0},
      {"abcdefgh", 22, 0},  {"abcdefghi", 23, 0},
      {"abcdefghi", 24, 0}, // replaces the first
      {"nil", 0, 0},        {"rem", 25, SCAN_P_COMMENT_LINE}};
  const std::string source =
      "a ab abcdefgh abcdefghi abcdefg abcdefghij ABCDEFGH Abcdefghi x nil y rem gone\n"
      "q abcdefghX\n";
  EXPECT_EQ(tokens_with(source, keywords),
            "20 21 22 24 " + id + ":abcdefg " + id + ":abcdefghij 22 24 " + id + ":x " + id +
                ":y " + eoln + " " + id + ":q " + id + ":abcdefghx " + eoln + " " + eof);
  EXPECT_EQ(tokens_with("ABCDEFGH abcdefgh Ab\n", keywords, 0),
            id + ":ABCDEFGH 22 " + id + ":Ab " + eoln + " " + eof);
}

// A spelling that holds a space is followed across it; the line's closing space is never part
// of a chain.
TEST(ScannerPunctuation, SpellingsWithASpaceAreFollowedAcrossIt) {
  EXPECT_EQ(
      tokens_with("[ ] [  ] [\n[ \n", {{"[", 30, 0}, {"[ ", 31, 0}, {"[ ]", 32, 0}, {"]", 33, 0}}),
      "32 31 33 30 " + eoln + " 31 " + eoln + " " + eof);
}

// A byte that is a whole keyword stops being one as soon as a longer spelling begins with it,
// whichever is loaded first.
TEST(ScannerPunctuation, AByteIsAWholeKeywordUntilALongerSpellingBeginsWithIt) {
  const std::string expected = "40 41 41 40 42 42 " + eoln + " " + eof;
  EXPECT_EQ(tokens_with("; ;; ;;; ,,\n", {{";", 40, 0}, {";;", 41, 0}, {",", 42, 0}}), expected);
  EXPECT_EQ(tokens_with("; ;; ;;; ,,\n", {{";;", 41, 0}, {",", 42, 0}, {";", 40, 0}}), expected);
}

// Reading a keyword takes room for its characters and for the one that ends it, as a copy of the
// text would: with one byte free after "ab", the comma runs out of text space; with two, the
// comma is read and "cd" runs out; with three, everything fits.
TEST(ScannerPunctuation, AKeywordNeedsRoomForTheCharacterAfterIt) {
  const std::string source = "ab,cd\n";
  auto scan_with = [&](long size) {
    text_init(size, 25, 100, 8);
    scan_init(1, 1, 0, 0, token_names().data());
    int token = SCAN_P_TOP;
    for (const test_keyword &k : test_keywords)
      scan_load_keyword(k.spelling, k.second, token++, k.extended);
    open_source(source_file(source));
  };
  // Free bytes while "ab" is the current token, in a buffer of 4096 bytes.
  long free_after_ab = 0;
  output_of([&] {
    scan_with(4096);
    free_after_ab = text_last_char - text_top;
    rest(); // to the end, which closes the file
  });
  auto outcome = [&](long free) {
    output_to_stderr();
    scan_with(4096 - free_after_ab + free);
    if (text_last_char - text_top != free) std::exit(2);
    std::fprintf(stderr, "%s\n", current().c_str());
    for (int n = 0; n < 10 && text_scan_data->token != SCAN_P_EOF; ++n) {
      scan_();
      std::fprintf(stderr, "%s\n", current().c_str());
    }
    std::exit(0);
  };
  const std::string fatal = "//      1: Fatal \\([^)]*\\) Ran out of text space\n$";
  EXPECT_EXIT(outcome(1), testing::ExitedWithCode(1), "^ID:ab\n" + fatal);
  EXPECT_EXIT(outcome(2), testing::ExitedWithCode(1), "^ID:ab\n','\n" + fatal);
  EXPECT_EXIT(outcome(3), testing::ExitedWithCode(0), "^ID:ab\n','\nID:cd\nEOLN\nEOF\n$");
}

} // namespace
