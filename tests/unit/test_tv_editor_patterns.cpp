// The editor settings of docs/editors.md, applied to real output of the built torvane: the Vim
// 'errorformat' and the Emacs compilation regexps must find the file, line and type of every
// message, and nothing in the lines around them (echoed source lines, marker lines, lists of
// expected tokens, listing lines, the closing fatal line without a file).
//
// Each pattern is kept here as the docs write it, beside a hand translation to ECMAScript:
//   Vim:   %l -> (\d+), %t -> (.), %f followed by ')' -> (.+?), %m -> .+, %*\s -> \s+,
//          %*\d -> \d+; Vim anchors every pattern at both ends of the line.
//   Emacs: \\( \\) -> ( ), \\(?: -> (?:, \\| -> |, a literal ( ) -> \( \); the string's doubled
//          backslashes are single ones in the regexp.
#include <gtest/gtest.h>

#include "run_program.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// One message as an editor sees it: the file, the line (0 when the message names none) and the
// type: 'E', 'W' or 'F' in Vim, 'E' or 'W' in Emacs.
struct Hit {
  std::string file;
  unsigned long line = 0;
  char type = 0;
  bool operator==(const Hit &) const = default;
};

void PrintTo(const Hit &hit, std::ostream *os) {
  *os << "{" << hit.file << ", " << hit.line << ", " << hit.type << "}";
}

// An 'errorformat' entry; the groups of the translation that hold the file, line and type
// (0: the entry has no line).
struct VimEntry {
  const char *efm;
  const char *ecmascript;
  int file, line, type;
};

constexpr VimEntry vim_entries[] = {
    {R"(//%*\s%l: %trror %*\d (%f) %m)", R"(^//\s+(\d+): (.)rror \d+ \((.+?)\) .+$)", 3, 1, 2},
    {R"(//%*\s%l: %trror (%f) %m)", R"(^//\s+(\d+): (.)rror \((.+?)\) .+$)", 3, 1, 2},
    {R"(//%*\s%l: %tarning %*\d (%f) %m)", R"(^//\s+(\d+): (.)arning \d+ \((.+?)\) .+$)", 3, 1, 2},
    {R"(//%*\s%l: %tarning (%f) %m)", R"(^//\s+(\d+): (.)arning \((.+?)\) .+$)", 3, 1, 2},
    {R"(//%*\s%l: %tatal (%f) %m)", R"(^//\s+(\d+): (.)atal \((.+?)\) .+$)", 3, 1, 2},
    {R"(%tatal (%f): %m)", R"(^(.)atal \((.+?)\): .+$)", 2, 0, 1},
};

// An entry of compilation-error-regexp-alist-alist: the regexp as an Elisp string, its
// translation, and the groups of FILE, LINE (0: none) and the TYPE (WARNING) group (0: none).
struct EmacsEntry {
  const char *elisp;
  const char *ecmascript;
  int file, line, warning;
};

constexpr EmacsEntry emacs_entries[] = {
    {R"("^// +\\([0-9]+\\): \\(?:Error\\|\\(Warning\\)\\|Fatal\\)\\(?: [0-9]+\\)? (\\(.+?\\)) ")",
     R"(^// +([0-9]+): (?:Error|(Warning)|Fatal)(?: [0-9]+)? \((.+?)\) )", 3, 1, 2},
    {R"("^Fatal (\\(.+?\\)): too many ")", R"(^Fatal \((.+?)\): too many )", 1, 0, 0},
};

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

unsigned long line_number(const std::smatch &m, int group) {
  return group == 0 ? 0 : std::stoul(m[group].str());
}

// Vim tries the entries in order and takes the first that matches the whole line.
std::vector<Hit> vim_hits(const std::string &output) {
  std::vector<Hit> hits;
  for (const std::string &line : lines_of(output)) {
    for (const VimEntry &entry : vim_entries) {
      std::smatch m;
      if (std::regex_search(line, m, std::regex(entry.ecmascript))) {
        hits.push_back({m[entry.file].str(), line_number(m, entry.line), m[entry.type].str()[0]});
        break;
      }
    }
  }
  return hits;
}

// Emacs applies every entry to every line; a message is a warning when the WARNING group matched.
std::vector<Hit> emacs_hits(const std::string &output) {
  std::vector<Hit> hits;
  for (const std::string &line : lines_of(output)) {
    for (const EmacsEntry &entry : emacs_entries) {
      std::smatch m;
      if (std::regex_search(line, m, std::regex(entry.ecmascript))) {
        const bool warning = entry.warning != 0 && m[entry.warning].matched;
        hits.push_back({m[entry.file].str(), line_number(m, entry.line), warning ? 'W' : 'E'});
      }
    }
  }
  return hits;
}

// Emacs has no fatal type: a fatal message is an error.
std::vector<Hit> as_emacs_sees_them(std::vector<Hit> hits) {
  for (Hit &hit : hits)
    if (hit.type == 'F') hit.type = 'E';
  return hits;
}

std::string repeat(const std::string &line, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += line;
  return text;
}

struct Case {
  const char *what;
  std::map<std::string, std::string> files;
  std::vector<std::string> args;
  int status;
  std::vector<Hit> expected; // as Vim sees them
};

std::vector<Case> cases() {
  const std::string odd_name = "two words (v2).asm";
  std::vector<Hit> too_many;
  for (unsigned long line = 1; line <= 26; ++line)
    too_many.push_back({"many.asm", line, 'E'});
  too_many.push_back({"many.asm", 0, 'F'});
  return {
      {"syntax errors; echoed lines start with labels named like severities",
       {{odd_name, "Error:  move $2, $1 + 1\n"
                   "Warning: .word (1) 2\n"
                   "Fatal:  sw   $2, 4($sp) `\n"
                   "        nop\n"}},
       {odd_name},
       1,
       {{odd_name, 1, 'E'}, {odd_name, 2, 'E'}, {odd_name, 3, 'E'}}},
      {"three markers on one line, each message with a list of expected tokens",
       {{"regs.asm", "        add  $t0, $t1, $t2\n"}},
       {"regs.asm"},
       1,
       {{"regs.asm", 1, 'E'}, {"regs.asm", 1, 'E'}, {"regs.asm", 1, 'E'}}},
      {"a warning in an included file, once per pass, with a listing",
       {{"main.asm", "        nop\n        .include(\"inc.asm\")\n        nop\n"},
        {"inc.asm", "# included\n        .string \"\\x141\"\n"}},
       {"-l", "main.asm"},
       0,
       {{"inc.asm", 2, 'W'}, {"inc.asm", 2, 'W'}, {"inc.asm", 2, 'W'}}},
      {"errors found in pass 3",
       {{"late.asm", "        beq  $1, $2, far\n"
                     "        lw   $3, nowhere\n"
                     "        .data 0x100000\n"
                     "far:    .word 0\n"}},
       {"late.asm"},
       1,
       {{"late.asm", 1, 'E'}, {"late.asm", 2, 'E'}}},
      {"a fatal message on a source line",
       {{"deep.asm",
         "        .word " + std::string(1001, '(') + "1" + std::string(1001, ')') + "\n"}},
       {"deep.asm"},
       1,
       {{"deep.asm", 1, 'F'}}},
      {"too many errors: the closing line names the file but no line",
       {{"many.asm", repeat("        add  $1, $2,\n", 26)}},
       {"many.asm"},
       1,
       too_many},
      {"a clean run with a listing",
       {{"clean.asm", "Error:  nop\nWarning: nop\nFatal:  .word 1\n"}},
       {"-l", "clean.asm"},
       0,
       {}},
      {"a fatal message before any source is read",
       {{"clean.asm", "        nop\n"}},
       {"-T100", "clean.asm"},
       1,
       {}},
  };
}

class EditorPatterns : public testing::Test {
protected:
  fs::path work;

  void SetUp() override {
    std::string pattern = testing::TempDir() + "editor_patterns_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    work = pattern;
  }

  void TearDown() override { fs::remove_all(work); }

  // Writes the case's files into a directory of its own and returns torvane's standard output.
  std::string run(const Case &c, int number) {
    const fs::path dir = work / std::to_string(number);
    fs::create_directory(dir);
    for (const auto &[name, text] : c.files)
      std::ofstream(dir / name, std::ios::binary) << text;
    test_support::Outcome outcome = test_support::run_program(TORVANE_BIN, dir, c.args);
    EXPECT_EQ(outcome.status, c.status);
    return outcome.out;
  }
};

TEST_F(EditorPatterns, VimFindsEveryMessageAndNothingElse) {
  int number = 0;
  for (const Case &c : cases()) {
    SCOPED_TRACE(c.what);
    const std::string output = run(c, number++);
    EXPECT_EQ(vim_hits(output), c.expected) << output;
  }
}

TEST_F(EditorPatterns, EmacsFindsEveryMessageAndNothingElse) {
  int number = 0;
  for (const Case &c : cases()) {
    SCOPED_TRACE(c.what);
    const std::string output = run(c, number++);
    EXPECT_EQ(emacs_hits(output), as_emacs_sees_them(c.expected)) << output;
  }
}

// The patterns tested here are the ones a reader copies from the docs.
TEST(EditorPatternsDocs, ShowTheTestedPatterns) {
  const std::string docs =
      test_support::read_file(fs::path(TEST_DATA_DIR) / ".." / ".." / "docs" / "editors.md");
  ASSERT_FALSE(docs.empty());
  for (const VimEntry &entry : vim_entries)
    EXPECT_NE(docs.find("'" + std::string(entry.efm) + "'"), std::string::npos) << entry.efm;
  for (const EmacsEntry &entry : emacs_entries)
    EXPECT_NE(docs.find(entry.elisp), std::string::npos) << entry.elisp;
}

} // namespace
