// scrubnote, run as a program in a scratch directory: line cutting, appending, and the refusals
// with their messages and exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

constexpr const char *usage_text = "usage : scrubnote  <file_src>   <file_dst>\n";
constexpr const char *same_file_text = "source and destination are the same file\n";

struct Outcome {
  int status = -1; // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Repeats `unit` `count` times.
std::string repeat(const std::string &unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += unit;
  return text;
}

// Compares two byte strings, reporting where they part rather than dumping texts that may be
// hundreds of kilobytes long.
testing::AssertionResult same_bytes(const std::string &actual, const std::string &expected) {
  if (actual == expected) return testing::AssertionSuccess();
  auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  std::size_t at = static_cast<std::size_t>(a - actual.begin());
  auto excerpt = [at](const std::string &text) {
    return testing::PrintToString(text.substr(std::min(at, text.size()), 40));
  };
  return testing::AssertionFailure()
         << "got " << actual.size() << " bytes, expected " << expected.size()
         << "; first difference at byte " << at << ": got " << excerpt(actual) << ", expected "
         << excerpt(expected);
}

// A scratch directory `work` where the program runs, beside the files that catch its output.
class Scrubnote : public testing::Test {
protected:
  fs::path root;
  fs::path work;

  void SetUp() override {
    std::string pattern = testing::TempDir() + "scrubnote_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    work = root / "work";
    fs::create_directory(work);
  }

  void TearDown() override { fs::remove_all(root); }

  void write_file(const std::string &name, const std::string &content) {
    std::ofstream file(work / name, std::ios::binary);
    file << content;
  }

  std::string read_file(const fs::path &path) {
    std::ifstream file(path.is_absolute() ? path : work / path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  std::set<std::string> names_in_work() {
    std::set<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(work))
      names.insert(entry.path().filename().string());
    return names;
  }

  // Runs scrubnote with `args` in `work`. An alarm ends a run that never stops (a file appended to
  // itself) before it fills the disk.
  Outcome run(std::initializer_list<std::string> args) {
    std::string out_path = (root / "stdout").string();
    std::string err_path = (root / "stderr").string();
    std::vector<std::string> words{"scrubnote"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &word : words)
      argv.push_back(word.data());
    argv.push_back(nullptr);

    pid_t child = fork();
    if (child == 0) {
      int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || err < 0 || chdir(work.c_str()) != 0) _exit(200);
      dup2(out, 1);
      dup2(err, 2);
      alarm(10);
      execv(SCRUBNOTE_BIN, argv.data());
      _exit(201);
    }
    Outcome result;
    int wait_status = 0;
    if (child > 0 && waitpid(child, &wait_status, 0) == child && WIFEXITED(wait_status))
      result.status = WEXITSTATUS(wait_status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
  }
};

struct LineCase {
  const char *what;
  std::string source;
  std::string expected;
};

TEST_F(Scrubnote, CutsEveryLineAtItsFirstSemicolon) {
  const std::string long_a(300000, 'a');
  const LineCase cases[] = {
      {"a line without a comment", "add $1, $2, $3\n", "add $1, $2, $3\n"},
      {"blanks before a comment stay", "loop: addi $1, $1, -1 ; count down\n\tnop\t;x\n",
       "loop: addi $1, $1, -1 \n\tnop\t\n"},
      {"a comment-only line", "; header comment\n", "\n"},
      {"an empty line", "\n\n", "\n\n"},
      {"the first semicolon cuts", "a;b;c\n", "a\n"},
      {"a semicolon inside quotes cuts too", ".string \"a;b\"\n", ".string \"a\n"},
      {"a last line without a line end", "nop\nlast", "nop\nlast\n"},
      {"a last comment without a line end", "nop\nlast ; c", "nop\nlast \n"},
      {"a 3000-character line cut at 2500",
       std::string(2500, 'x') + ";" + std::string(499, 'y') + "\n", std::string(2500, 'x') + "\n"},
      {"a 3000-character line copied whole", std::string(3000, 'z') + "\n",
       std::string(3000, 'z') + "\n"},
      {"CRLF: the CR stays before the cut", "nop\r\nli $1, 2 ; two\r\n;\r\n",
       "nop\r\nli $1, 2 \n\n"},
      {"NUL and high bytes pass through", "a\0b\x80\xff;c\0\n\xfe\0\x7f\n"s,
       "a\0b\x80\xff\n\xfe\0\x7f\n"s},
      {"lines longer than any read", long_a + ";" + long_a + "\n" + long_a + "\nc;\n" + long_a,
       long_a + "\n" + long_a + "\nc\n" + long_a + "\n"},
      {"many short lines across reads", repeat("ab;c\nlmnop\n", 50000),
       repeat("ab\nlmnop\n", 50000)},
  };
  int number = 0;
  for (const LineCase &c : cases) {
    SCOPED_TRACE(c.what);
    std::string src = "src" + std::to_string(number) + ".asm";
    std::string dst = "dst" + std::to_string(number) + ".asm";
    ++number;
    write_file(src, c.source);
    Outcome r = run({src, dst});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_bytes(read_file(dst), c.expected));
    EXPECT_TRUE(same_bytes(read_file(src), c.source));
  }
}

TEST_F(Scrubnote, AppendsOnEveryRun) {
  write_file("src.asm", "a ; c\nb\n");
  write_file("dst.asm", "old\n");
  EXPECT_EQ(run({"src.asm", "dst.asm"}).status, 0);
  EXPECT_EQ(run({"src.asm", "dst.asm"}).status, 0);
  EXPECT_EQ(read_file("dst.asm"), "old\na \nb\na \nb\n");
}

TEST_F(Scrubnote, EmptySourceCreatesOrLeavesTheDestination) {
  write_file("empty.asm", "");
  write_file("kept.asm", "keep ; me\n");

  Outcome created = run({"empty.asm", "new.asm"});
  EXPECT_EQ(created.status, 0);
  EXPECT_EQ(created.err, "");
  ASSERT_TRUE(fs::exists(work / "new.asm"));
  EXPECT_EQ(fs::file_size(work / "new.asm"), 0u);

  Outcome kept = run({"empty.asm", "kept.asm"});
  EXPECT_EQ(kept.status, 0);
  EXPECT_EQ(kept.err, "");
  EXPECT_EQ(read_file("kept.asm"), "keep ; me\n");
}

TEST_F(Scrubnote, TooFewArgumentsPrintUsageAndTouchNothing) {
  write_file("src.asm", "a ; b\n");
  for (std::initializer_list<std::string> args :
       {std::initializer_list<std::string>{}, {"src.asm"}, {"new.asm"}}) {
    SCOPED_TRACE(args.size() == 0 ? "no arguments" : *args.begin());
    Outcome r = run(args);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, usage_text);
    EXPECT_EQ(names_in_work(), std::set<std::string>{"src.asm"});
    EXPECT_EQ(read_file("src.asm"), "a ; b\n");
  }
}

TEST_F(Scrubnote, ArgumentsAfterTheSecondAreIgnored) {
  write_file("src.asm", "a ; b\n");
  Outcome r = run({"src.asm", "dst.asm", "extra.asm"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_file("dst.asm"), "a \n");
  EXPECT_FALSE(fs::exists(work / "extra.asm"));
}

TEST_F(Scrubnote, UnreadableSourceIsRefusedBeforeTheDestinationIsOpened) {
  fs::create_directory(work / "dir");
  for (const char *src : {"missing.asm", "dir"}) {
    SCOPED_TRACE(src);
    Outcome r = run({src, "dst.asm"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "unable to open "s + src + " \n");
    EXPECT_FALSE(fs::exists(work / "dst.asm"));
  }
}

TEST_F(Scrubnote, UnopenableDestinationIsRefused) {
  write_file("src.asm", "a ; b\n");
  fs::create_directory(work / "dir");
  for (const char *dst : {"nodir/dst.asm", "dir"}) {
    SCOPED_TRACE(dst);
    Outcome r = run({"src.asm", dst});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "unable to open "s + dst + " \n");
    EXPECT_TRUE(fs::is_empty(work / "dir"));
    EXPECT_FALSE(fs::exists(work / "nodir"));
  }
}

TEST_F(Scrubnote, SourceAsDestinationIsRefusedUntouched) {
  const std::string content = "a ; b\nc\n";
  write_file("src.asm", content);
  fs::create_hard_link(work / "src.asm", work / "hard.asm");
  fs::create_symlink("src.asm", work / "soft.asm");
  for (const char *dst : {"src.asm", "./src.asm", "hard.asm", "soft.asm"}) {
    SCOPED_TRACE(dst);
    Outcome r = run({"src.asm", dst});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, same_file_text);
    EXPECT_EQ(read_file("src.asm"), content);
  }
}

TEST_F(Scrubnote, FailedWriteIsReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  // A short source fails on the final write, a long one while lines are still being read.
  write_file("short.asm", "a ; b\n");
  write_file("long.asm", repeat("add $1, $2, $3 ; sum\n", 20000));
  for (const char *src : {"short.asm", "long.asm"}) {
    SCOPED_TRACE(src);
    Outcome r = run({src, "/dev/full"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "unable to write /dev/full \n");
  }
}

} // namespace
