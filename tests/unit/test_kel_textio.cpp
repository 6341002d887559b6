// Text buffer and source files: characters delivered per line, tab expansion, high bytes, line
// echo with markers, inclusion, standard input replay, and the message frames and limits.
#include <gtest/gtest.h>

#include "output_capture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "memalloc.h"
#include "textio.h"

namespace {

using test_support::output_of;
using test_support::output_to_stderr;

constexpr int eof = -1;
constexpr int sp = ' ';
constexpr int nl = '\n';

// A source file with the given bytes, removed when the test ends.
struct source_file {
  std::string path;
  explicit source_file(const std::string &bytes) {
    static int count = 0;
    path = testing::TempDir() + "textio_" + std::to_string(getpid()) + "_" +
           std::to_string(++count) + ".src";
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  ~source_file() { std::remove(path.c_str()); }
  const char *name() const { return path.c_str(); }
};

void start(long size = 4096, uint32_t max_errors = 25, uint32_t max_warnings = 100,
           uint32_t tab_width = 8) {
  text_init(size, max_errors, max_warnings, tab_width);
}

// Delivers `count` characters.
std::vector<int> next_chars(size_t count) {
  std::vector<int> chars;
  for (size_t i = 0; i < count; ++i) {
    text_get_char();
    chars.push_back(text_char);
  }
  return chars;
}

// Delivers characters up to and including the first end of input (at most `limit`).
std::vector<int> chars_to_end(size_t limit = 10000) {
  std::vector<int> chars;
  do {
    text_get_char();
    chars.push_back(text_char);
  } while (text_char != eof && chars.size() < limit);
  return chars;
}

// A pattern matching exactly `text`.
std::string exactly(const std::string &text) {
  std::string pattern = "^";
  for (char c : text) {
    if (std::string_view(".[]{}()\\*+?^$|").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

std::string prefix(unsigned long line) {
  char text[32];
  std::snprintf(text, sizeof text, "// %6lu: ", line);
  return text;
}

TEST(TextGetChar, DeliversEachLineThenItsEndThenOneSpace) {
  const struct {
    const char *label;
    std::string bytes;
    std::vector<int> expected;
  } cases[] = {
      {"final newline", "ab\n", {'a', 'b', nl, sp, sp, sp, eof}},
      {"no final newline", "ab", {'a', 'b', nl, sp, sp, sp, eof}},
      {"empty file", "", {sp, sp, eof}},
      {"empty line", "a\n\n", {'a', nl, sp, nl, sp, sp, sp, eof}},
      {"carriage return is data", "a\r\n", {'a', '\r', nl, sp, sp, sp, eof}},
  };
  start();
  for (const auto &c : cases) {
    source_file source(c.bytes);
    // Each file is read twice, as passes do: the second opening starts afresh.
    for (int pass = 1; pass <= 2; ++pass) {
      ASSERT_NE(text_open(source.name()), nullptr);
      EXPECT_EQ(chars_to_end(), c.expected) << c.label << ", pass " << pass;
      text_get_char();
      EXPECT_EQ(text_char, eof) << c.label << ": end of input stays";
      EXPECT_EQ(text_line_number(), 0u) << c.label;
    }
  }
}

TEST(TextGetChar, CountsLinesAndColumns) {
  start();
  source_file source("ab\nc\n");
  ASSERT_NE(text_open(source.name()), nullptr);
  const struct {
    int ch;
    unsigned long line, column;
  } expected[] = {
      {'a', 1, 1}, {'b', 1, 2}, {nl, 1, 3}, {sp, 1, 4}, {'c', 2, 1},
      {nl, 2, 2},  {sp, 2, 3},  {sp, 3, 1}, {sp, 3, 2}, {eof, 0, 2},
  };
  for (const auto &e : expected) {
    text_get_char();
    EXPECT_EQ(text_char, e.ch);
    EXPECT_EQ(text_line_number(), e.line) << "char " << e.ch;
    EXPECT_EQ(text_column_number(), e.column) << "char " << e.ch;
  }
}

// Tab expansion: a tab at column k is replaced by spaces up to the next multiple of the width,
// so the character after it (Z) lands just past that multiple. Width 0 keeps the tab.
struct tab_case {
  uint32_t width;
  const char *line;
  unsigned long column_of_z;
};

class TextTabs : public testing::TestWithParam<tab_case> {};

TEST_P(TextTabs, PlaceTheNextCharacter) {
  const tab_case &c = GetParam();
  start(4096, 25, 100, c.width);
  source_file source(c.line);
  ASSERT_NE(text_open(source.name()), nullptr);
  std::vector<int> before_z;
  for (text_get_char(); text_char != 'Z' && text_char != eof; text_get_char())
    before_z.push_back(text_char);
  EXPECT_EQ(text_column_number(), c.column_of_z);
  const bool tab_kept = std::find(before_z.begin(), before_z.end(), '\t') != before_z.end();
  EXPECT_EQ(tab_kept, c.width == 0);
}

INSTANTIATE_TEST_SUITE_P(Widths, TextTabs,
                         testing::Values(tab_case{8, "ab\tZ\n", 9}, tab_case{8, "abcdefg\tZ\n", 9},
                                         tab_case{8, "abcdefgh\tZ\n", 17},
                                         tab_case{8, "\t\tZ\n", 17}, tab_case{4, "a\tZ\n", 5},
                                         tab_case{1, "a\tZ\n", 3}, tab_case{0, "ab\tZ\n", 4}));

// Lines of tabs, the control bytes next to them (0x08 to 0x0B) and ordinary bytes at every
// offset, many of them, so that lines also straddle the boundaries of the read blocks: each is
// delivered as a plain expansion of its tabs gives it, with its line end and one space.
TEST(TextGetChar, ExpandsEveryLineAsAPlainModelDoes) {
  const std::string alphabet = std::string("\t\t\t\b\v\x0A") + "ab ;\xFF\x0C\r";
  uint32_t seed = 12345;
  auto next_random = [&seed](uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  std::string bytes;
  for (int line = 0; line < 9000; ++line) {
    const uint32_t length = next_random(40);
    for (uint32_t i = 0; i < length; ++i) {
      const char c = alphabet[next_random(static_cast<uint32_t>(alphabet.size()))];
      if (c != '\n') bytes += c;
    }
    bytes += '\n';
  }
  for (const uint32_t width : {0u, 1u, 3u, 8u, 13u}) {
    SCOPED_TRACE("tab width " + std::to_string(width));
    std::vector<int> expected;
    size_t column = 0;
    for (const char ch : bytes) {
      const auto c = static_cast<unsigned char>(ch);
      if (c == '\t' && width != 0) {
        do
          expected.push_back(sp);
        while (++column % width != 0);
      } else if (c == '\n') {
        expected.insert(expected.end(), {nl, sp});
        column = 0;
      } else {
        expected.push_back(c);
        ++column;
      }
    }
    expected.insert(expected.end(), {sp, sp, eof}); // the empty end-of-file line
    source_file source(bytes);
    start(1 << 20, 25, 100, width);
    ASSERT_NE(text_open(source.name()), nullptr);
    EXPECT_EQ(chars_to_end(expected.size() + 10), expected);
  }
}

TEST(TextGetChar, DeliversHighBytesAsOrdinaryCharacters) {
  std::string bytes;
  std::vector<int> expected;
  for (int b = 0x80; b <= 0xFF; ++b) {
    bytes += static_cast<char>(b);
    expected.push_back(b);
  }
  bytes += "\n\xFF\xFFz\n"; // 0xFF at the start of a line and repeated does not end the file
  expected.insert(expected.end(), {nl, sp, 0xFF, 0xFF, 'z', nl, sp, sp, sp, eof});
  source_file source(bytes);
  start();
  ASSERT_NE(text_open(source.name()), nullptr);
  EXPECT_EQ(chars_to_end(), expected);
}

TEST(TextGetChar, ReadsLinesLongerThanOneReadBlock) {
  // Lines crossing the boundaries of the file's read blocks are delivered whole.
  std::string line(50000, 'x');
  std::string bytes;
  for (char c : {'a', 'b', 'c'})
    bytes += line + c + "\n";
  source_file source(bytes);
  start(200000);
  ASSERT_NE(text_open(source.name()), nullptr);
  for (int ch : {'a', 'b', 'c'}) {
    std::vector<int> chars = next_chars(50003);
    EXPECT_EQ(chars[49999], 'x');
    EXPECT_EQ(chars[50000], ch);
    EXPECT_EQ(chars[50001], nl);
    EXPECT_EQ(chars[50002], sp);
  }
  EXPECT_EQ(chars_to_end(), (std::vector<int>{sp, sp, eof}));
}

TEST(TextOpen, RefusesWhatCannotBeReadAsAFile) {
  start();
  source_file source("ab\n");
  ASSERT_NE(text_open(source.name()), nullptr);
  text_get_char();
  for (const char *bad : {TEST_DATA_DIR, "/nonexistent/textio.src", ""})
    EXPECT_EQ(text_open(bad), nullptr) << bad;
  // Nothing changed: the open file reads on.
  EXPECT_EQ(chars_to_end(), (std::vector<int>{'b', nl, sp, sp, sp, eof}));
  EXPECT_EQ(text_closed_files(), 0u);
}

TEST(TextOpen, ReplaysStandardInputForEveryOpening) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string bytes = "ab\n\xFF";
  ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fds[1]);
  ASSERT_EQ(dup2(fds[0], 0), 0);
  close(fds[0]);

  start();
  const std::vector<int> expected = {'a', 'b', nl, sp, 0xFF, nl, sp, sp, sp, eof};
  for (const char *name : {"-.asm", "-", "-anything"}) {
    EXPECT_EQ(text_open(name), stdin) << name;
    EXPECT_EQ(chars_to_end(), expected) << name;
  }
}

TEST(TextEcho, PrintsEachFinishedLineAfterItsNumber) {
  start();
  std::string bytes;
  std::string expected = "// ******: \n"; // opening a file with the echo on
  for (int line = 1; line <= 12; ++line) {
    bytes += "line " + std::to_string(line) + "\n";
    expected += prefix(line) + "line " + std::to_string(line) + "\n";
  }
  source_file source(bytes);
  text_echo(1);
  EXPECT_EQ(text_get_echo(), 1);
  // The end-of-file line (13) is never echoed.
  EXPECT_EQ(output_of([&] {
              ASSERT_NE(text_open(source.name()), nullptr);
              chars_to_end();
            }),
            expected);
  EXPECT_EQ(prefix(12), "//     12: ");
  EXPECT_EQ(output_of(text_echo_line_number), "// ******: ");
}

TEST(TextEcho, MarkedLineIsEchoedWithItsMarkersEvenWithEchoOff) {
  start();
  source_file source("abcdefghijklmnop\nsecond\n");
  ASSERT_NE(text_open(source.name()), nullptr);
  next_chars(12); // 'l', column 12
  const std::string file = std::string("(") + source.name() + ") ";
  EXPECT_EQ(output_of([] {
              text_message(TEXT_ERROR_ECHO, "first\n");
              text_message(TEXT_ERROR_ECHO, "second\n");
            }),
            prefix(1) + "Error 1 " + file + "first\n" + prefix(1) + "Error 2 " + file + "second\n");
  // Moving to the next line echoes the marked one; markers 1 and 2 sit at positions 11 and 12.
  EXPECT_EQ(output_of([] { next_chars(7); }),
            prefix(1) + "abcdefghijklmnop\n" + prefix(1) + "----------12\n");
  // The counter starts again on the new line.
  EXPECT_EQ(output_of([] { text_message(TEXT_WARNING_ECHO, "third\n"); }),
            prefix(2) + "Warning 1 " + file + "third\n");
}

TEST(TextEcho, OnlyTheFirstNineOfTenMarkersAreDrawn) {
  start();
  source_file source("abcdefghijklmnop\nx\n");
  ASSERT_NE(text_open(source.name()), nullptr);
  next_chars(2);
  const std::string messages = output_of([&] {
    for (int i = 1; i <= 10; ++i) {
      text_get_char(); // columns 3 to 12
      text_message(TEXT_WARNING_ECHO, "w\n");
    }
  });
  EXPECT_NE(messages.find("Warning 9 ("), std::string::npos);
  EXPECT_NE(messages.find("Warning 10 ("), std::string::npos); // numbered, but not drawn
  EXPECT_EQ(output_of([] { chars_to_end(); }),
            prefix(1) + "abcdefghijklmnop\n" + prefix(1) + "-123456789\n");
}

TEST(TextInclude, ReturnsToTheIncludingFileAsItWas) {
  start();
  source_file outer("abc\ndef\n");
  source_file inner("x\n");
  scan_data record{};
  text_scan_data = &record;

  ASSERT_NE(text_open(outer.name()), nullptr);
  next_chars(2); // 'b'
  record.token = 42;
  record.data.u = 7;
  const std::string outer_frame = prefix(1) + "Error (" + outer.name() + ") ";
  EXPECT_EQ(output_of([] { text_message(TEXT_ERROR, "outer\n"); }), outer_frame + "outer\n");

  ASSERT_NE(text_open(inner.name()), nullptr);
  record.token = 3;
  EXPECT_EQ(next_chars(1), std::vector<int>{'x'});
  EXPECT_EQ(output_of([] { text_message(TEXT_ERROR, "inner\n"); }),
            prefix(1) + "Error (" + inner.name() + ") inner\n");
  EXPECT_EQ(next_chars(4), (std::vector<int>{nl, sp, sp, sp}));
  EXPECT_EQ(text_closed_files(), 0u);

  // The inner file ends: the outer file's character, position and token record come back.
  text_get_char();
  EXPECT_EQ(text_closed_files(), 1u);
  EXPECT_EQ(text_char, 'b');
  EXPECT_EQ(text_line_number(), 1u);
  EXPECT_EQ(text_column_number(), 2u);
  EXPECT_EQ(record.token, 42);
  EXPECT_EQ(record.data.u, 7u);
  EXPECT_EQ(output_of([] { text_message(TEXT_ERROR, "again\n"); }), outer_frame + "again\n");
  EXPECT_EQ(chars_to_end(), (std::vector<int>{'c', nl, sp, 'd', 'e', 'f', nl, sp, sp, sp, eof}));
  EXPECT_EQ(text_total_errors(), 3u);
}

TEST(TextInclude, EchoShowsTheReturnAndRepeatsTheIncludingLine) {
  start();
  source_file outer("ab\ncd\n");
  source_file inner("x\n");
  text_echo(1);
  const std::string outer_name = outer.name();
  EXPECT_EQ(output_of([&] {
              ASSERT_NE(text_open(outer.name()), nullptr);
              next_chars(1);
              ASSERT_NE(text_open(inner.name()), nullptr);
              chars_to_end();
            }),
            "// ******: \n"   // outer opened
            "// ******: \n" + // inner opened
                prefix(1) +
                "x\n" +                                   // inner line 1
                prefix(1) + "(" + outer_name + ") \n" +   // back in the outer file
                prefix(1) + "ab\n" + prefix(1) + "ab\n" + // its line, again when finished
                prefix(2) + "cd\n");
}

TEST(TextInclude, IncludedFileHasItsOwnErrorAllowance) {
  start(4096, 3, 100);
  source_file outer("ab\n");
  source_file inner("x\n");
  ASSERT_NE(text_open(outer.name()), nullptr);
  text_get_char();
  output_of([&] {
    for (int i = 0; i < 3; ++i)
      text_message(TEXT_ERROR, "outer\n");
    ASSERT_NE(text_open(inner.name()), nullptr);
    text_get_char();
    for (int i = 0; i < 3; ++i)
      text_message(TEXT_ERROR, "inner\n");
    chars_to_end(5); // back to 'a' of the outer file
  });
  ASSERT_EQ(text_char, 'a');
  std::fflush(stdout);
  EXPECT_EXIT(
      {
        output_to_stderr();
        text_message(TEXT_ERROR, "fourth\n");
      },
      testing::ExitedWithCode(1),
      exactly(prefix(1) + "Error (" + outer.name() + ") fourth\nFatal (" + outer.name() +
              "): too many errors\n"));
}

TEST(TextSpace, LineMustFitTheFreeSpace) {
  // A 16-byte buffer leaves 15 bytes for the first file's line: 13 characters, newline, space.
  const struct {
    const char *what;
    const char *line;
    uint32_t tab_width;
    bool fits;
  } cases[] = {
      {"13 characters", "abcdefghijklm\n", 8, true},
      {"14 characters", "abcdefghijklmn\n", 8, false},
      {"13, newline supplied at the end of file", "abcdefghijklm", 8, true},
      {"14, newline supplied at the end of file", "abcdefghijklmn", 8, false},
      {"tab to 8, then 4 characters", "a\tbcde\n", 8, true},
      {"tabs to 16", "a\t\tb\n", 8, false},
      {"tabs kept at width 0", "a\t\tb\n", 0, true},
  };
  for (const auto &c : cases) {
    source_file source(c.line);
    const std::string message = prefix(1) + "Fatal (" + source.name() + ") Ran out of text space\n";
    std::fflush(stdout);
    EXPECT_EXIT(
        {
          output_to_stderr();
          text_init(16, 25, 100, c.tab_width);
          if (text_open(source.name()) == nullptr) std::exit(2);
          chars_to_end();
          std::exit(0);
        },
        testing::ExitedWithCode(c.fits ? 0 : 1), exactly(c.fits ? "" : message))
        << c.what;
  }
}

TEST(TextSpace, TokenTextsAndLinesShareTheBuffer) {
  start(16);
  char *first = text_insert_string("abc");
  EXPECT_EQ(std::string(first), "abc");
  EXPECT_EQ(text_insert_char('z'), first + 4);
  EXPECT_EQ(text_top, first + 5);

  // 11 bytes remain; the file keeps the highest as the top of its line area, leaving 10.
  source_file source("abcdefgh\n");
  ASSERT_NE(text_open(source.name()), nullptr);
  next_chars(10); // the whole line: 8 characters, newline, space
  std::fflush(stdout);
  EXPECT_EXIT(
      {
        output_to_stderr();
        text_insert_char('q');
      },
      testing::ExitedWithCode(1),
      exactly(prefix(1) + "Fatal (" + source.name() + ") Ran out of text space\n"));
}

TEST(TextDefaultFiletype, AddsTheTypeOnlyToNamesWithoutADot) {
  start();
  const struct {
    const char *name;
    const char *expected;
  } cases[] = {
      {"prog", "prog.asm"},
      {"prog.s", "prog.s"},
      {"../prog", "../prog"},
      {"-", "-.asm"},
  };
  for (const auto &c : cases) {
    char *completed = text_default_filetype(c.name, "asm");
    EXPECT_STREQ(completed, c.expected) << c.name;
    mem_free(completed);
  }
  const char *prog = "prog";
  EXPECT_EQ(text_default_filetype(prog, ""), prog);
}

TEST(TextMessage, FramesEachSeverityWithAndWithoutAFile) {
  start();
  source_file source("a\n");
  const std::string file = std::string("(") + source.name() + ") ";
  const struct {
    text_message_type type;
    const char *no_file;
    std::string in_file;
  } cases[] = {
      {TEXT_INFO, "// ******: m\n", prefix(1) + file + "m\n"},
      {TEXT_WARNING, "// ******: Warning - m\n", prefix(1) + "Warning " + file + "m\n"},
      {TEXT_ERROR, "// ******: Error - m\n", prefix(1) + "Error " + file + "m\n"},
      {TEXT_INFO_ECHO, "// ******: m\n", prefix(1) + file + "m\n"},
      {TEXT_WARNING_ECHO, "// ******: Warning 1 - m\n", prefix(1) + "Warning 1 " + file + "m\n"},
      {TEXT_ERROR_ECHO, "// ******: Error 1 - m\n", prefix(1) + "Error 1 " + file + "m\n"},
  };
  // Each message starts on a fresh line of markers.
  auto message = [](text_message_type type) {
    std::string text = output_of([type] { text_message(type, "m\n"); });
    output_of(text_echo_line);
    return text;
  };
  for (const auto &c : cases)
    EXPECT_EQ(message(c.type), c.no_file) << "type " << c.type;
  ASSERT_NE(text_open(source.name()), nullptr);
  text_get_char();
  for (const auto &c : cases)
    EXPECT_EQ(message(c.type), c.in_file) << "type " << c.type;
  // After the file has ended its name is still known, but the line number is 0.
  chars_to_end();
  EXPECT_EQ(message(TEXT_ERROR), "// ******: Error - m\n");
  EXPECT_EQ(text_total_errors(), 5u);
}

TEST(TextMessage, NullFormatPrintsAndCountsNothing) {
  start();
  EXPECT_EQ(output_of([] { text_message(TEXT_ERROR_ECHO, nullptr); }), "");
  EXPECT_EQ(text_total_errors(), 0u);
  EXPECT_EQ(output_of(text_echo_line), "// ******: ") << "no marker was recorded";
}

TEST(TextMessage, ContinuedWithPrintf) {
  start();
  EXPECT_EQ(output_of([] {
              text_message(TEXT_INFO, "%s", "one");
              EXPECT_EQ(text_printf(" %d%c", 23, '\n'), 4);
            }),
            "// ******: one 23\n");
}

TEST(TextMessageDeathTest, FatalEndsTheRunRightAfterItsText) {
  source_file source("a\n");
  const struct {
    text_message_type type;
    bool in_file;
    std::string expected;
  } cases[] = {
      {TEXT_FATAL, false, "// ******: Fatal - boom\n"},
      {TEXT_FATAL_ECHO, false, "// ******: Fatal - boom\n"},
      {TEXT_FATAL, true, prefix(1) + "Fatal (" + source.name() + ") boom\n"},
  };
  std::fflush(stdout);
  for (const auto &c : cases) {
    EXPECT_EXIT(
        {
          output_to_stderr();
          start();
          if (c.in_file) {
            text_open(source.name());
            text_get_char();
          }
          text_message(c.type, "boom\n");
          text_printf("not reached\n");
        },
        testing::ExitedWithCode(1), exactly(c.expected))
        << c.expected;
  }
}

TEST(TextMessageDeathTest, TwentySixthErrorOfAFileEndsTheRun) {
  start();
  source_file source("a\n");
  ASSERT_NE(text_open(source.name()), nullptr);
  text_get_char();
  output_of([] {
    for (int i = 1; i <= 25; ++i)
      text_message(TEXT_ERROR_ECHO, "e%d\n", i);
  });
  std::fflush(stdout);
  EXPECT_EXIT(
      {
        output_to_stderr();
        text_message(TEXT_ERROR_ECHO, "e26\n");
      },
      testing::ExitedWithCode(1),
      exactly(prefix(1) + "Error 26 (" + source.name() + ") e26\nFatal (" + source.name() +
              "): too many errors\n"));
}

TEST(TextMessageDeathTest, HundredAndFirstWarningEndsTheRun) {
  start();
  output_of([] {
    for (int i = 1; i <= 100; ++i)
      text_message(TEXT_WARNING, "w%d\n", i);
  });
  std::fflush(stdout);
  EXPECT_EXIT(
      {
        output_to_stderr();
        text_message(TEXT_WARNING, "w101\n");
      },
      testing::ExitedWithCode(1),
      exactly("// ******: Warning - w101\nFatal (null file): too many warnings\n"));
}

TEST(TextMessage, LimitZeroMeansNoLimit) {
  start(4096, 0, 0);
  output_of([] {
    for (int i = 0; i < 200; ++i) {
      text_message(TEXT_ERROR, "e\n");
      text_message(TEXT_WARNING, "w\n");
    }
  });
  EXPECT_EQ(text_total_errors(), 200u);
}

TEST(TextPrintTotalErrors, ReportsOnlyWhenSomethingWasCountedOrEchoIsOn) {
  start();
  int result = -1;
  auto totals = [&result] { return output_of([&result] { result = text_print_total_errors(); }); };
  EXPECT_EQ(totals(), "");
  EXPECT_EQ(result, 0);
  text_echo(1);
  EXPECT_EQ(totals(), "// ******: 0 errors and 0 warnings\n");
  text_echo(0);
  output_of([] { text_message(TEXT_WARNING, "w\n"); });
  EXPECT_EQ(totals(), "// ******: 0 errors and 1 warning\n");
  EXPECT_EQ(result, 0);
  output_of([] { text_message(TEXT_ERROR, "e\n"); });
  EXPECT_EQ(totals(), "// ******: 1 error and 1 warning\n");
  EXPECT_EQ(result, 1);
  output_of([] {
    text_message(TEXT_ERROR, "e\n");
    text_message(TEXT_WARNING, "w\n");
  });
  EXPECT_EQ(totals(), "// ******: 2 errors and 2 warnings\n");
}

TEST(TextInit, WarnsWhenTheSizeDoesNotFit32Bits) {
  EXPECT_EQ(output_of([] { text_init(0x100000010L, 25, 100, 8); }),
            "// ******: Warning - -T4294967312 too large for architecture: recast to -T16\n");
  // The truncated size is used: 15 bytes for the first line.
  source_file source("abcdefghijklm\n");
  ASSERT_NE(text_open(source.name()), nullptr);
  EXPECT_EQ(next_chars(15).back(), sp);
}

} // namespace
