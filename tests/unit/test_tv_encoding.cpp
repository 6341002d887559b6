// Instruction and data encodings, checked against source files that carry their own expectations:
// tests/data/encoding/<family>.asm, one file per instruction family. Each file is assembled by the
// built torvane and every record of the object file is compared, in order, with the expected
// words written after '#' on the source line that produced it:
//
//     add   $3, $1, $2      # 00 41 18 20
//     li    $3, 0x12345678  # 3C 03 12 34 / 34 63 56 78
//     beq   $1, $2, 0x120   # @00000100 10 22 00 07
//
// '/' separates the words of a multi-word instruction (one record each) and "@ADDRESS" checks the
// address of the line's first record. A line without '#' must produce nothing; free comments in
// these files use ';'.
#include <gtest/gtest.h>

#include "run_program.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using test_support::Outcome;
using test_support::read_file;

// Runs torvane in `dir` with `args`, standard input empty, and collects its output streams.
Outcome run_torvane(const fs::path &dir, const std::vector<std::string> &args) {
  return test_support::run_program(TORVANE_BIN, dir, args);
}

// One location record of the object file: its address, the bytes of its data text, and whether
// the data text ends with the control text that separates the two words of "li".
struct Record {
  std::uint32_t address = 0;
  std::vector<int> bytes;
  bool control = false;
};

constexpr const char *control_text = "   \n ";

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Reads upper-case hexadecimal bytes from `text` at the given offsets.
std::vector<int> hex_bytes(const std::string &text, std::initializer_list<std::size_t> offsets) {
  std::vector<int> bytes;
  for (std::size_t at : offsets)
    bytes.push_back(std::stoi(text.substr(at, 2), nullptr, 16));
  return bytes;
}

// Decodes the data text of one record: a word "HH HH HH HH", a halfword " HH HH", or bytes run
// together "HHHH...". Returns false for anything else.
bool decode_data(const std::string &data, std::vector<int> &bytes) {
  auto hex_at = [&data](std::size_t at) {
    return is_hex_digit(data[at]) && is_hex_digit(data[at + 1]);
  };
  if (data.size() == 11 && data[2] == ' ' && data[5] == ' ' && data[8] == ' ' && hex_at(0) &&
      hex_at(3) && hex_at(6) && hex_at(9)) {
    bytes = hex_bytes(data, {0, 3, 6, 9});
    return true;
  }
  if (data.size() == 6 && data[0] == ' ' && data[3] == ' ' && hex_at(1) && hex_at(4)) {
    bytes = hex_bytes(data, {1, 4});
    return true;
  }
  if (data.empty() || data.size() % 2 != 0) return false;
  bytes.clear();
  for (std::size_t at = 0; at < data.size(); at += 2) {
    if (!hex_at(at)) return false;
    bytes.push_back(std::stoi(data.substr(at, 2), nullptr, 16));
  }
  return true;
}

// Splits an object file into its records. Returns an empty text on success, else what is wrong.
std::string parse_object(const std::string &text, std::vector<Record> &records) {
  records.clear();
  if (text.empty() || text.front() != '\n' || text.back() != '\n')
    return "the object file does not begin and end with a line break";
  const std::string body = text.substr(0, text.size() - 1);
  std::size_t at = 0;
  while (at < body.size()) {
    if (body.compare(at, 2, "\n@") != 0)
      return "no location record at offset " + std::to_string(at);
    std::size_t end = body.find("\n@", at + 2);
    if (end == std::string::npos) end = body.size();
    const std::string record = body.substr(at + 2, end - at - 2);
    at = end;
    if (record.size() < 9 || record[8] != ' ' ||
        !std::all_of(record.begin(), record.begin() + 8, is_hex_digit))
      return "malformed record '@" + record + "'";
    Record parsed;
    parsed.address = static_cast<std::uint32_t>(std::stoul(record.substr(0, 8), nullptr, 16));
    std::string data = record.substr(9);
    const std::string control = control_text;
    if (data.size() >= control.size() &&
        data.compare(data.size() - control.size(), control.size(), control) == 0) {
      parsed.control = true;
      data.resize(data.size() - control.size());
    }
    if (!decode_data(data, parsed.bytes)) return "malformed data text in record '@" + record + "'";
    records.push_back(parsed);
  }
  return "";
}

// What one source line must assemble to.
struct Expected {
  int line = 0;
  std::string source;
  std::optional<std::uint32_t> address;
  std::vector<std::vector<int>> words; // the bytes of each record
  bool load_immediate = false;         // "li": control text after the first word
};

// Finds the '#' that starts the expectation: outside a string, at the start of the line or after
// a blank (so the "(#" of a test expression is not taken for it).
std::size_t find_expectation(const std::string &line) {
  bool in_string = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (in_string) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == ';') {
      return std::string::npos;
    } else if (c == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
      return i;
    }
  }
  return std::string::npos;
}

// The first word of the statement after an optional label, in lower case.
std::string mnemonic_of(const std::string &code) {
  std::istringstream words(code);
  std::string word;
  words >> word;
  if (!word.empty() && word.back() == ':') words >> word;
  std::transform(word.begin(), word.end(), word.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return word;
}

// Parses the expectation text after '#'. Returns false when it is malformed.
bool parse_expectation(const std::string &text, Expected &expected) {
  std::istringstream tokens(text);
  std::string token;
  std::vector<int> word;
  bool first = true;
  while (tokens >> token) {
    if (first && token.size() == 9 && token[0] == '@' &&
        std::all_of(token.begin() + 1, token.end(), is_hex_digit)) {
      expected.address = static_cast<std::uint32_t>(std::stoul(token.substr(1), nullptr, 16));
    } else if (token == "/") {
      if (word.empty()) return false;
      expected.words.push_back(word);
      word.clear();
    } else if (token.size() == 2 && is_hex_digit(token[0]) && is_hex_digit(token[1])) {
      word.push_back(std::stoi(token, nullptr, 16));
    } else {
      return false;
    }
    first = false;
  }
  if (word.empty()) return false;
  expected.words.push_back(word);
  return true;
}

std::string show_bytes(const std::vector<int> &bytes) {
  std::string text;
  for (int byte : bytes) {
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned>(byte));
    text += (text.empty() ? "" : " ") + std::string(buffer);
  }
  return text;
}

std::string show_address(std::uint32_t address) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "@%08X", static_cast<unsigned>(address));
  return buffer;
}

std::vector<std::string> family_files() {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto &entry : fs::directory_iterator(fs::path(TEST_DATA_DIR) / "encoding", ignored))
    if (entry.path().extension() == ".asm") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class EncodingFile : public testing::TestWithParam<std::string> {
protected:
  fs::path work;

  void SetUp() override {
    std::string pattern = testing::TempDir() + "tv_encoding_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    work = pattern;
  }

  void TearDown() override { fs::remove_all(work); }
};

TEST_P(EncodingFile, EveryLineAssemblesToItsComment) {
  const std::string name = GetParam() + ".asm";
  const fs::path source = fs::path(TEST_DATA_DIR) / "encoding" / name;

  std::vector<Expected> expectations;
  std::ifstream lines(source);
  ASSERT_TRUE(lines) << "cannot read " << source;
  std::string text;
  for (int number = 1; std::getline(lines, text); ++number) {
    std::size_t mark = find_expectation(text);
    if (mark == std::string::npos) continue;
    Expected expected;
    expected.line = number;
    expected.source = text.substr(0, mark);
    expected.source.erase(expected.source.find_last_not_of(" \t") + 1);
    expected.source.erase(0, expected.source.find_first_not_of(" \t"));
    expected.load_immediate = mnemonic_of(expected.source) == "li";
    ASSERT_TRUE(parse_expectation(text.substr(mark + 1), expected))
        << name << ":" << number << ": malformed expectation '" << text.substr(mark) << "'";
    expectations.push_back(expected);
  }

  const fs::path object = work / "out.obj";
  Outcome run = run_torvane(work, {"-o" + object.string(), source.string()});
  ASSERT_EQ(run.status, 0) << name << " did not assemble cleanly:\n" << run.out << run.err;
  EXPECT_EQ(run.err, "");

  std::vector<Record> records;
  std::string problem = parse_object(read_file(object), records);
  ASSERT_EQ(problem, "") << name;

  std::size_t next = 0;
  for (const Expected &expected : expectations) {
    const std::string where = name + ":" + std::to_string(expected.line) + ": " + expected.source;
    for (std::size_t w = 0; w < expected.words.size(); ++w) {
      ASSERT_LT(next, records.size()) << where << ": the object file ends before this line's "
                                      << (w == 0 ? "first" : "next") << " word";
      const Record &record = records[next++];
      if (w == 0 && expected.address && record.address != *expected.address)
        ADD_FAILURE() << where << ": record at " << show_address(record.address) << ", expected "
                      << show_address(*expected.address);
      if (record.bytes != expected.words[w])
        ADD_FAILURE() << where << ": got " << show_bytes(record.bytes) << ", expected "
                      << show_bytes(expected.words[w]);
      const bool control_wanted = expected.load_immediate && w == 0;
      if (record.control != control_wanted)
        ADD_FAILURE() << where
                      << (control_wanted ? ": no control text after the first word"
                                         : ": unexpected control text after a word");
    }
  }
  if (next < records.size())
    ADD_FAILURE() << name << ": " << records.size() - next
                  << " record(s) that no line expects, the first "
                  << show_address(records[next].address) << " " << show_bytes(records[next].bytes);
}

INSTANTIATE_TEST_SUITE_P(Families, EncodingFile, testing::ValuesIn(family_files()),
                         [](const testing::TestParamInfo<std::string> &info) {
                           return info.param;
                         });

} // namespace
