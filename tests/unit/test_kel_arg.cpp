// Command-line options: flags, numbers and texts glued to their letter, plain arguments, and the
// help page that ends the process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "arg.h"

namespace {

// A small program's declarations: a banner, one option of every kind, a trailing blank line.
class Options : public testing::Test {
protected:
  int listing = 0;
  uint32_t tabwidth = 8;
  const char *output = "out.obj";

  void SetUp() override {
    arg_message("tool 1.0\nby nobody");
    arg_boolean('l', "Make a listing", &listing);
    arg_numeric('t', "Tab expansion width (default 8)", &tabwidth);
    arg_string('o', "Write output to filename", &output);
    arg_message("");
  }

  // Runs arg_process on the program name followed by `args`; returns the plain arguments.
  std::vector<std::string> process(std::initializer_list<const char *> args) {
    storage.assign(args.begin(), args.end());
    vector.clear();
    vector.push_back(program);
    for (std::string &arg : storage)
      vector.push_back(arg.data());
    vector.push_back(nullptr);
    char **plain = arg_process(static_cast<int>(vector.size() - 1), vector.data());
    std::vector<std::string> result;
    for (; *plain != nullptr; ++plain)
      result.emplace_back(*plain);
    return result;
  }

  // Stdout of a run that must end with the help page and exit status 1.
  std::string help_page(std::initializer_list<const char *> args) {
    std::string path = testing::TempDir() + "kel_arg_help.txt";
    EXPECT_EXIT(
        {
          if (std::freopen(path.c_str(), "w", stdout) == nullptr) std::_Exit(2);
          process(args);
        },
        testing::ExitedWithCode(1), "");
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    std::remove(path.c_str());
    return text.str();
  }

  char program[5] = "tool";
  std::vector<std::string> storage;
  std::vector<char *> vector;
};

const char *const page = "tool 1.0\nby nobody\n"
                         "-l     Make a listing\n"
                         "-t <n> Tab expansion width (default 8)\n"
                         "-o <s> Write output to filename\n"
                         "\n";

TEST_F(Options, BooleanFlipsOnEveryOccurrence) {
  process({"-l"});
  EXPECT_EQ(listing, 1);
  process({"-l", "-l"});
  EXPECT_EQ(listing, 1); // flipped twice from 1
  listing = 0;
  process({"-l", "-lxyz"}); // anything after the letter is ignored
  EXPECT_EQ(listing, 0);
}

TEST_F(Options, NumericReadsLeadingDigitsOnly) {
  struct {
    const char *arg;
    uint32_t value;
  } cases[] = {
      {"-t12x", 12}, {"-t-1", 4294967295u},
      {"-t+5", 5},   {"-t 7", 7},
      {"-t", 8},     {"-tx", 8},
      {"-t-", 8},    {"-t4294967295", 4294967295u},
      {"-t0004", 4},
  };
  for (const auto &c : cases) {
    tabwidth = 8;
    process({c.arg});
    EXPECT_EQ(tabwidth, c.value) << c.arg;
  }
}

TEST_F(Options, ValueIsNeverTakenFromTheNextArgument) {
  EXPECT_EQ(process({"-t", "4"}), std::vector<std::string>{"4"});
  EXPECT_EQ(tabwidth, 8u);
}

TEST_F(Options, LaterOccurrenceOverridesEarlier) {
  process({"-t4", "-t6", "-oa", "-ob"});
  EXPECT_EQ(tabwidth, 6u);
  EXPECT_STREQ(output, "b");
}

TEST_F(Options, StringPointsIntoTheArgument) {
  process({"-oprog.obj"});
  EXPECT_EQ(output, vector[1] + 2);
  EXPECT_STREQ(output, "prog.obj");
  process({"-o"});
  EXPECT_STREQ(output, "");
}

TEST_F(Options, DashAloneMatchesHelpTextAndIsIgnored) {
  EXPECT_EQ(process({"a", "-", "b"}), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(listing, 0);
}

TEST_F(Options, PlainArgumentsGatheredInOrder) {
  EXPECT_EQ(process({"a", "-l", "b"}), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(process({}), std::vector<std::string>{});
}

TEST_F(Options, EmptyVectorStillEndsWithNull) {
  char **plain = arg_process(0, vector.data());
  EXPECT_EQ(plain[0], nullptr);
}

TEST_F(Options, UnknownOptionPrintsHelpPage) {
  for (const char *arg : {"-x", "--", "-?", "-L"})
    EXPECT_EQ(help_page({"-l", arg}),
              std::string("\n\nFatal - unknown command line argument\n\n") + page)
        << arg;
}

TEST_F(Options, HelpWithReasonOrNone) {
  EXPECT_EXIT(
      {
        dup2(2, 1);
        arg_help("No source file specified");
      },
      testing::ExitedWithCode(1), "Fatal - No source file specified");
  EXPECT_EXIT(
      {
        dup2(2, 1);
        arg_help(nullptr);
      },
      testing::ExitedWithCode(1), "^\n\nFatal - \n\ntool 1.0\n");
}

TEST(OptionsWithoutHelpText, DashAloneIsUnknown) {
  int flag = 0;
  arg_boolean('f', "Filter", &flag);
  char program[] = "tool";
  char dash[] = "-";
  char *argv[] = {program, dash, nullptr};
  EXPECT_EXIT(
      {
        dup2(2, 1);
        arg_process(2, argv);
      },
      testing::ExitedWithCode(1), "Fatal - unknown command line argument\n\n-f     Filter\n$");
}

} // namespace
