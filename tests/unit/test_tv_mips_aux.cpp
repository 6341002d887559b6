// The object file writers, the listing columns, the location counters and the word builders,
// driven directly as the grammar drives them in pass 3 (or in passes 1 and 2 where noted).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "mips_aux.h"
#include "mips_def.h"
#include "textio.h"

namespace {

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string spaces(size_t n) {
  return std::string(n, ' ');
}

class MipsAux : public testing::Test {
protected:
  std::string path = testing::TempDir() + "tv_mips_aux_" + std::to_string(getpid()) + ".obj";

  void SetUp() override { text_init(35000, 25, 100, 8); }
  void TearDown() override { std::remove(path.c_str()); }

  // Runs `body` as pass 3 with the counters starting at `start` in the code section, and returns
  // the whole object file.
  std::string object(const std::function<void()> &body, uint32_t start = 0) {
    init(path.c_str());
    emit_begin_object(); // as the start of pass 3 does
    emit_code = 1;
    code_location = start;
    data_location = 0;
    location = &code_location;
    body();
    quit(path.c_str());
    return read_file(path);
  }

  // The one word a builder writes in a record of its own at `start`.
  uint32_t word(const std::function<void()> &build, uint32_t start = 0) {
    std::string text = object(
        [&] {
          emit_loc();
          build();
        },
        start);
    unsigned address = 0, b[4] = {};
    EXPECT_EQ(sscanf(text.c_str(), "\n@%8X %2X %2X %2X %2X", &address, &b[0], &b[1], &b[2], &b[3]),
              5)
        << text;
    EXPECT_EQ(text.size(), 23u) << text;
    return b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3];
  }

  // Runs `body` with the listing on and returns what went to standard output.
  std::string listing(const std::function<void()> &body, std::string *object_text = nullptr) {
    text_echo(1);
    testing::internal::CaptureStdout();
    std::string text = object(body);
    std::string echoed = testing::internal::GetCapturedStdout();
    if (object_text != nullptr) *object_text = text;
    return echoed;
  }
};

// The source of the worked example, written as the instruction and directive rules write it.
TEST_F(MipsAux, WorkedExampleObjectFile) {
  std::string text = object([] {
    emit_loc(); // start: addi $1, $0, 5
    emit_b_type_op(OP_ADDI, 0, 1, 5);
    emit_loc(); // li $2, 0x12345678
    emit_li_type_op(2, 0x12345678);
    emit_loc(); // loop: bne $1, $0, loop
    emit_l_type_op(OP_BNE, 1, 0, 0xC);
    location = &data_location; // .data 0x100
    data_location = 0x100;
    emit_loc(); // .word 7
    emit_word(7);
    emit_loc(); // .half 0x1234
    emit_halfword(0x1234);
    emit_loc(); // .byte 65
    emit_byte(65);
    emit_loc(); // .string "ab"
    emit_byte('a');
    emit_byte('b');
    emit_byte(0);
  });
  EXPECT_EQ(text, "\n"
                  "@00000000 20 01 00 05\n"
                  "@00000004 3C 02 12 34   \n"
                  " \n"
                  "@00000008 34 42 56 78\n"
                  "@0000000C 14 20 FF FF\n"
                  "@00000100 00 00 00 07\n"
                  "@00000104  12 34\n"
                  "@00000106 41\n"
                  "@00000107 616200\n");
  EXPECT_EQ(code_location, 0x10u);
  EXPECT_EQ(data_location, 0x10Au);
}

TEST_F(MipsAux, NothingProducedGivesOneLineBreak) {
  EXPECT_EQ(object([] {}), "\n");
}

// Every field is masked before it is shifted: all ones in one argument fill exactly that field.
TEST_F(MipsAux, BuildersMaskEachFieldToItsWidth) {
  constexpr uint32_t ones = 0xFFFFFFFF;
  struct {
    const char *name;
    std::function<void()> build;
    uint32_t expected;
  } cases[] = {
      {"a op", [] { emit_a_type_op(-1, 0, 0, 0, 0, 0); }, 0xFC000000},
      {"a rd", [] { emit_a_type_op(0, ones, 0, 0, 0, 0); }, 0x03E00000},
      {"a rs1", [] { emit_a_type_op(0, 0, ones, 0, 0, 0); }, 0x001F0000},
      {"a rs2", [] { emit_a_type_op(0, 0, 0, ones, 0, 0); }, 0x0000F800},
      {"a shamt", [] { emit_a_type_op(0, 0, 0, 0, ones, 0); }, 0x000007C0},
      {"a function", [] { emit_a_type_op(0, 0, 0, 0, 0, ones); }, 0x0000003F},
      {"a register 33 is 1", [] { emit_a_type_op(0, 33, 0, 0, 0, 0); }, 0x00200000},
      {"a shamt 32 is 0", [] { emit_a_type_op(0, 0, 0, 0, 32, 0); }, 0x00000000},
      {"a all fields", [] { emit_a_type_op(OP_RTYPE, 1, 2, 3, 4, ALU_ADD); }, 0x00221920},
      {"b op", [] { emit_b_type_op(0x7F, 0, 0, 0); }, 0xFC000000},
      {"b rd", [] { emit_b_type_op(0, ones, 0, 0); }, 0x03E00000},
      {"b rs", [] { emit_b_type_op(0, 0, ones, 0); }, 0x001F0000},
      {"b immediate", [] { emit_b_type_op(0, 0, 0, ones); }, 0x0000FFFF},
      {"b all fields", [] { emit_b_type_op(OP_ADDI, 0, 1, 5); }, 0x20010005},
      {"c rd", [] { emit_c_type_op(0, ones, 0, 0, 0); }, 0x03E00000},
      {"c rs", [] { emit_c_type_op(0, 0, ones, 0, 0); }, 0x001F0000},
      {"c shamt", [] { emit_c_type_op(0, 0, 0, ones, 0); }, 0x0000FFC0},
      {"c function", [] { emit_c_type_op(0, 0, 0, 0, ones); }, 0x0000003F},
      {"d op", [] { emit_d_type_op(-1, 0); }, 0xFC000000},
      {"d address", [] { emit_d_type_op(0, ones); }, 0x03FFFFFF},
      {"f op", [] { emit_f_type_op(-1, 0, 0, 0, 0); }, 0xFC000000},
      {"f shamt1", [] { emit_f_type_op(0, ones, 0, 0, 0); }, 0x7FE00000},
      {"f rs", [] { emit_f_type_op(0, 0, ones, 0, 0); }, 0x0000F800},
      {"f shamt2", [] { emit_f_type_op(0, 0, 0, ones, 0); }, 0x000007C0},
      {"f function", [] { emit_f_type_op(0, 0, 0, 0, ones); }, 0x0000003F},
      {"f mfhi", [] { emit_f_type_op(OP_RTYPE, 0, 3, 0, ALU_MFHI); }, 0x00001810},
      {"i rd", [] { emit_i_type_op(0, ones, 0, 0); }, 0x03E00000},
      {"i shamt", [] { emit_i_type_op(0, 0, ones, 0); }, 0x001FFFC0},
      {"i function", [] { emit_i_type_op(0, 0, 0, ones); }, 0x0000003F},
      {"i jr", [] { emit_i_type_op(OP_JR, 31, 0, ALU_JR); }, 0x03E00008},
      {"l op", [] { emit_l_type_op(-1, 0, 0, 4); }, 0xFC000000},
      {"l rs1", [] { emit_l_type_op(0, ones, 0, 4); }, 0x03E00000},
      {"l rd", [] { emit_l_type_op(0, 0, ones, 4); }, 0x001F0000},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(word(c.build), c.expected);
    EXPECT_EQ(code_location, 4u);
  }
}

// The offset counts words from the word after the branch, cut to 16 bits.
TEST_F(MipsAux, BranchOffsetsFromTheBranchAddress) {
  struct {
    uint32_t at, target, field;
  } cases[] = {
      {0x1000, 0x1000, 0xFFFF},  // itself
      {0x1000, 0x1004, 0x0000},  // the next word
      {0x1000, 0x1008, 0x0001},  // the word after that
      {0x1000, 0x0FFC, 0xFFFE},  // the word before
      {0x1000, 0x81000, 0xFFFF}, // 0x80000 ahead: cut without a message
      {0x0, 0xFFFFFFFC, 0xFFFE}, // before address 0: the distance wraps
      {0x1000, 0x1006, 0x0000},  // low two bits of the distance are lost
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.at << " -> " << c.target);
    EXPECT_EQ(word([&] { emit_l_type_op(OP_BEQ, 1, 2, c.target); }, c.at), 0x10220000u | c.field);
  }
}

TEST_F(MipsAux, JumpTargetDropsTopAndBottomBits) {
  EXPECT_EQ(word([] { emit_d_type_op(OP_J, 0x00400018); }), 0x08100006u);
  EXPECT_EQ(word([] { emit_d_type_op(OP_J, 0x10400018); }), 0x08100006u);
  EXPECT_EQ(word([] { emit_d_type_op(OP_JAL, 0x0040001B); }), 0x0C100006u);
}

// lui then ori, the control text between them, and always eight bytes.
TEST_F(MipsAux, LoadImmediateIsTwoWords) {
  struct {
    uint32_t rd, value;
    const char *text;
  } cases[] = {
      {2, 5, "\n@00000000 3C 02 00 00   \n \n@00000004 34 42 00 05\n"},
      {1, 0xFFFFFFFF, "\n@00000000 3C 01 FF FF   \n \n@00000004 34 21 FF FF\n"},
      {33, 0x12345678, "\n@00000000 3C 01 12 34   \n \n@00000004 34 21 56 78\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(object([&] {
                emit_loc();
                emit_li_type_op(c.rd, c.value);
              }),
              c.text);
    EXPECT_EQ(code_location, 8u);
  }
}

// Data items are cut to their width; a record never holds more digits than its bytes.
TEST_F(MipsAux, ByteAndHalfwordAreCutToTheirWidth) {
  struct {
    std::function<void()> item;
    const char *text;
  } cases[] = {
      {[] { emit_byte(0xFFFFFFFF); }, "FF"}, // .byte -1
      {[] { emit_byte(300); }, "2C"},
      {[] { emit_byte(static_cast<uint32_t>(static_cast<signed char>('\xE9'))); }, "E9"},
      {[] { emit_halfword(0x12345); }, " 23 45"},
      {[] { emit_halfword(0xFFFFFFFF); }, " FF FF"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(object([&] {
                emit_loc();
                c.item();
              }),
              std::string("\n@00000000 ") + c.text + "\n");
  }
}

TEST_F(MipsAux, CounterWrapsPastTheTopAddress) {
  std::string text = object(
      [] {
        emit_loc();
        emit_word(1);
        EXPECT_EQ(code_location, 0u);
        emit_loc();
        emit_byte(2);
        code_location = 0xFFFFFFFF;
        emit_halfword(3);
        EXPECT_EQ(code_location, 1u);
      },
      0xFFFFFFFC);
  EXPECT_EQ(text, "\n@FFFFFFFC 00 00 00 01\n@00000000 02 00 03\n");
}

// In passes 1 and 2 the writers only move the counters.
TEST_F(MipsAux, EarlyPassesWriteNothingButMoveCounters) {
  text_echo(1);
  init(path.c_str());
  emit_code = 0;
  code_location = 0;
  data_location = 0x40;
  location = &code_location;
  testing::internal::CaptureStdout();
  set_emitted_default();
  emit_loc();
  emit_word(1);
  emit_loc();
  emit_li_type_op(3, 0x12345678);
  emit_control(0);
  EXPECT_EQ(emitf("%s", "text"), 0);
  location = &data_location;
  emit_loc();
  emit_halfword(2);
  emit_byte(3);
  quit(path.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(code_location, 12u);
  EXPECT_EQ(data_location, 0x43u);
  EXPECT_EQ(read_file(path), "");
}

TEST_F(MipsAux, EmitfWritesObjectAndReturnsCharactersEchoed) {
  std::string text;
  std::string echoed = listing(
      [] {
        EXPECT_EQ(emitf("%s-%d", "ab", 7), 4);
        text_echo(0);
        EXPECT_EQ(emitf("%X", 255u), 0);
      },
      &text);
  EXPECT_EQ(echoed, "ab-7");
  EXPECT_EQ(text, "ab-7FF\n");
}

// Each listing line: record and data text, then fill spaces up to column 28.
TEST_F(MipsAux, ListingLineWidths) {
  auto bytes = [](const char *s, size_t n) {
    for (size_t i = 0; i < n; i++)
      emit_byte(static_cast<unsigned char>(s[i]));
  };
  struct {
    const char *name;
    std::function<void()> line;
    std::string echo;
    std::string object;
  } cases[] = {
      {"nothing", [] {}, spaces(27), "\n"},
      {"one word",
       [] {
         emit_loc();
         emit_word(0x20010005);
       },
       "@00000000 20 01 00 05" + spaces(6), "\n@00000000 20 01 00 05\n"},
      {"one halfword",
       [] {
         emit_loc();
         emit_halfword(0x1234);
       },
       "@00000000  12 34" + spaces(11), "\n@00000000  12 34\n"},
      {"one byte",
       [] {
         emit_loc();
         emit_byte(0x41);
       },
       "@00000000 41" + spaces(15), "\n@00000000 41\n"},
      {"string of 3 bytes",
       [&] {
         emit_loc();
         bytes("ab", 3);
       },
       "@00000000 616200" + spaces(11), "\n@00000000 616200\n"},
      {"string of 8 bytes",
       [&] {
         emit_loc();
         bytes("abcdefg", 8);
       },
       "@00000000 6162636465666700" + spaces(1), "\n@00000000 6162636465666700\n"},
      {"string of 10 bytes: only eight listed",
       [&] {
         emit_loc();
         bytes("abcdefghi", 10);
       },
       "@00000000 6162636465666768" + spaces(1), "\n@00000000 61626364656667686900\n"},
      {"an item starting at column 14 is listed whole",
       [&] {
         emit_loc();
         bytes("abcdefg", 7);
         emit_halfword(0x1234);
       },
       "@00000000 61626364656667 12 34" + spaces(1), "\n@00000000 61626364656667 12 34\n"},
      {"two words with a record each",
       [] {
         emit_loc();
         emit_word(1);
         emit_loc();
         emit_word(2);
       },
       "@00000000 00 00 00 01@00000004 00 00 00 02" + spaces(6),
       "\n@00000000 00 00 00 01\n@00000004 00 00 00 02\n"},
      {"li",
       [] {
         emit_loc();
         emit_li_type_op(2, 0x12345678);
       },
       "@00000000 3C 02 12 34   \n @00000004 34 42 56 78" + spaces(6),
       "\n@00000000 3C 02 12 34   \n \n@00000004 34 42 56 78\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    EXPECT_EQ(listing(
                  [&] {
                    set_emitted_default();
                    c.line();
                    emit_fill();
                  },
                  &text),
              c.echo);
    EXPECT_EQ(text, c.object);
  }
}

TEST_F(MipsAux, NoFillWithoutListing) {
  testing::internal::CaptureStdout();
  object([] {
    set_emitted_default();
    emit_loc();
    emit_word(1);
    emit_fill();
  });
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// With -n no byte columns are listed: 17 fill spaces on the first line and after a record,
// one space on a line without a record that follows another line.
TEST_F(MipsAux, NopOptionListsNoColumns) {
  autoinsert_nop = 1;
  std::string text;
  std::string echoed = listing(
      [] {
        set_emitted_default(); // a first line producing nothing
        emit_fill();
        EXPECT_EQ(emitf("x"), 0);
        set_emitted_default(); // an instruction
        emit_loc();
        emit_word(1);
        emit_nop(0);
        emit_fill();
        set_emitted_default(); // a line producing nothing
        emit_fill();
      },
      &text);
  EXPECT_EQ(echoed, spaces(17) + spaces(17) + spaces(1));
  EXPECT_EQ(text, "x\n@00000000 00 00 00 01\n");
}

TEST_F(MipsAux, NopWordsOnlyWithNopOption) {
  EXPECT_EQ(object([] { emit_nop(2); }), "\n");
  EXPECT_EQ(code_location, 0u);
  autoinsert_nop = 1;
  EXPECT_EQ(object([] { emit_nop(2); }, 0x10), "\n@00000010 00 00 00 00\n@00000014 00 00 00 00\n");
  EXPECT_EQ(code_location, 0x18u);
}

// A name beginning with "-" sends the object text to standard output, which stays open.
TEST_F(MipsAux, ObjectToStandardOutput) {
  struct {
    const char *name;
    int echo;
    const char *out;
  } cases[] = {
      {"-", 0, "\n@00000000 01 02 03 04\nafter"},
      {"-x.obj", 0, "\n@00000000 01 02 03 04\nafter"},
      // With the listing on, every piece of object text appears twice; line breaks once.
      {"-", 1, "\n@00000000 @00000000 01 02 03 0401 02 03 04\nafter"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    text_echo(c.echo);
    testing::internal::CaptureStdout();
    init(c.name);
    emit_code = 1;
    code_location = 0;
    location = &code_location;
    emit_loc();
    emit_word(0x01020304);
    quit(c.name);
    printf("after");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
  }
  EXPECT_EQ(access("-x.obj", F_OK), -1);
}

TEST_F(MipsAux, UnopenableObjectFileIsFatal) {
  EXPECT_EXIT(
      {
        dup2(2, 1);
        init("/nonexistent-dir/out.obj");
      },
      testing::ExitedWithCode(1), "^// \\*\\*\\*\\*\\*\\*: Fatal - Unable to open object file$");
}

// A failed write, whether it shows during assembly or only at the final flush, is fatal.
TEST_F(MipsAux, WriteFailureIsFatal) {
  for (int words : {1, 100000}) {
    SCOPED_TRACE(words);
    EXPECT_EXIT(
        {
          dup2(2, 1);
          init("/dev/full");
          emit_code = 1;
          location = &code_location;
          for (int i = 0; i < words; i++) {
            emit_loc();
            emit_word(i);
          }
          quit("/dev/full");
          exit(0);
        },
        testing::ExitedWithCode(1), "^// \\*\\*\\*\\*\\*\\*: Fatal - Error writing object file\n$");
  }
  // The object text on a standard output that cannot be written.
  EXPECT_EXIT(
      {
        int full = open("/dev/full", O_WRONLY);
        dup2(full, 1);
        init("-");
        emit_code = 1;
        location = &code_location;
        emit_loc();
        emit_word(1);
        quit("-");
        exit(0);
      },
      testing::ExitedWithCode(1), "");
}

} // namespace

// The object file is created at start-up but emptied only when pass 3 begins, so a source that
// turns out to be the object file is still whole when the run refuses it.
TEST_F(MipsAux, ObjectFileIsEmptiedWhenPassThreeBegins) {
  std::ofstream(path, std::ios::binary) << "old text";
  init(path.c_str());
  EXPECT_EQ(read_file(path), "old text");
  emit_begin_object();
  emit_code = 1;
  location = &code_location;
  emit_loc();
  emit_byte(1);
  quit(path.c_str());
  EXPECT_EQ(read_file(path), "\n@00000000 01\n");
}

TEST_F(MipsAux, RunEndingBeforePassThreeLeavesAnEmptyObjectFile) {
  std::ofstream(path, std::ios::binary) << "old text";
  EXPECT_EXIT(
      {
        init(path.c_str());
        std::exit(1);
      },
      testing::ExitedWithCode(1), "");
  EXPECT_EQ(read_file(path), "");
}

TEST_F(MipsAux, ObjectFileKeptWhenItIsASource) {
  std::ofstream(path, std::ios::binary) << "old text";
  EXPECT_EXIT(
      {
        init(path.c_str());
        emit_keep_object();
        std::exit(1);
      },
      testing::ExitedWithCode(1), "");
  EXPECT_EQ(read_file(path), "old text");
}
