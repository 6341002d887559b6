// Instructions: the register operand rule and the instruction rule. Every mnemonic is one row of
// a table (operand syntax, opcode, function codes, word builder); one interpreter reads the
// operands that a row's syntax names and hands them to the row's builder.
#include <array>
#include <string_view>

#include "mips_aux.h"
#include "mips_def.h"
#include "torvane.h"

namespace {

// The register number of each register token: "$n" is n, "$sp" 29, "$fp" 30; other tokens 0.
constexpr std::array<unsigned char, T_TOKEN_COUNT_> make_register_numbers() {
  std::array<unsigned char, T_TOKEN_COUNT_> numbers{};
  constexpr std::string_view spellings[] = {
#define KEYWORD(name, spelling, second, extended) spelling,
#include "keywords.def"
#undef KEYWORD
  };
  for (int token = SCAN_P_TOP; token < T_TOKEN_COUNT_; ++token) {
    const std::string_view spelling = spellings[token - SCAN_P_TOP];
    if (spelling.size() < 2 || spelling[0] != '$') continue;
    if (spelling == "$sp") numbers[token] = 29;
    if (spelling == "$fp") numbers[token] = 30;
    if (spelling[1] < '0' || spelling[1] > '9') continue;
    unsigned number = 0;
    for (char c : spelling.substr(1))
      number = number * 10 + static_cast<unsigned>(c - '0');
    numbers[token] = static_cast<unsigned char>(number);
  }
  return numbers;
}

constexpr std::array<unsigned char, T_TOKEN_COUNT_> register_numbers = make_register_numbers();
static_assert(register_numbers[T_R0] == 0 && register_numbers[T_R17] == 17 &&
              register_numbers[T_R31] == 31 && register_numbers[T_SP] == 29 &&
              register_numbers[T_FP] == 30);

} // namespace

int reg() {
  // reg ::= '$0' | ... | '$31' | '$sp' | '$fp'
  // A token that is not a register is reported; the register is then 0.
  if (!scan_test_set(nullptr, &kel_reg_34_first, nullptr)) {
    scan_test_set(nullptr, &reg_first, &reg_stop);
    return 0;
  }
  int token = kel_token();
  scan_test(nullptr, token, &reg_stop);
  scan_();
  return register_numbers[static_cast<unsigned>(token)];
}

namespace {

// The working values of one instruction, fresh for every instruction.
struct operands {
  uint32_t rd, rs1, rs2, rs, rt;
  uint32_t immediate;   // immediate operand, test expression or jump target
  uint32_t destination; // branch target
  bool register_form;   // the last operand was a register
  bool has_destination; // a branch target was given
};

struct instruction;
using builder = void (*)(const instruction &, const operands &);

// Operand syntax, one character per element:
//   d s t    registers into rd, rs1, rs2        b  register into rs        r  register into rt
//   ,        a comma
//   R        rs2 or imm; absent: nothing is written
//   S        rs2 or imm or test expression; absent: nothing is written
//   I        imm or test expression; absent: reported, the word is written with 0
//   L        imm (required)
//   B        branch target, optionally after "$"; absent: reported, the word is written
//   J        rd, or a target, or "$" target (j); absent: nothing is written
//   K        rd, or a target (b); absent: nothing is written
//   A        jump target (jal); absent: reported, the word is written
//   M        imm, then optionally "(" b ")"
//   m        d "," s [ "," t ]: with two registers the first is also the destination
struct instruction {
  int token;
  const char *syntax;
  int op;
  int function;
  int function2; // second word's function, a variable shift's function, or a fixed field
  builder build;
};

// Builders. Each starts a location record before every word it writes.

void build_alu(const instruction &in, const operands &o) {
  emit_loc();
  if (o.register_form)
    emit_a_type_op(OP_RTYPE, o.rs1, o.rs2, o.rd, 0, in.function);
  else
    emit_b_type_op(in.op, o.rs1, o.rd, o.immediate);
}

void build_add(const instruction &in, const operands &o) {
  // add alone puts its third operand in the rs field and its second in the rt field.
  emit_loc();
  if (o.register_form)
    emit_a_type_op(OP_RTYPE, o.rs2, o.rs1, o.rd, 0, in.function);
  else
    emit_b_type_op(in.op, o.rs1, o.rd, o.immediate);
}

void build_immediate(const instruction &in, const operands &o) {
  emit_loc();
  emit_b_type_op(in.op, o.rs1, o.rd, o.immediate);
}

void build_three_registers(const instruction &in, const operands &o) {
  emit_loc();
  emit_a_type_op(OP_RTYPE, o.rs1, o.rs2, o.rd, 0, in.function);
}

void build_variable_shift(const instruction &in, const operands &o) {
  emit_loc();
  emit_a_type_op(OP_RTYPE, o.rs2, o.rs1, o.rd, 0, in.function);
}

void build_shift(const instruction &in, const operands &o) {
  emit_loc();
  if (o.register_form)
    emit_a_type_op(OP_RTYPE, o.rs2, o.rs1, o.rd, 0, in.function2);
  else
    emit_a_type_op(in.op, 0, o.rs1, o.rd, o.immediate, in.function);
}

void build_two_registers(const instruction &in, const operands &o) {
  emit_loc();
  emit_a_type_op(OP_RTYPE, o.rs1, 0, o.rd, 0, in.function);
}

void build_two_registers_immediate(const instruction &in, const operands &o) {
  emit_loc();
  emit_b_type_op(in.op, o.rs1, o.rd, 0);
}

void build_load_immediate(const instruction &, const operands &o) {
  emit_loc();
  emit_li_type_op(o.rd, o.immediate);
}

void build_multiply(const instruction &in, const operands &o) {
  emit_loc();
  emit_c_type_op(OP_RTYPE, o.rs1, o.rs2, 0, in.function);
}

void build_multiply_move(const instruction &in, const operands &o) {
  build_multiply(in, o);
  emit_loc();
  emit_f_type_op(OP_RTYPE, 0, o.rd, 0, in.function2);
}

void build_move_from(const instruction &in, const operands &o) {
  emit_loc();
  emit_a_type_op(OP_RTYPE, 0, 0, o.rd, 0, in.function);
}

void build_move_to(const instruction &in, const operands &o) {
  emit_loc();
  emit_a_type_op(OP_RTYPE, o.rs, 0, 0, 0, in.function);
}

void build_fixed(const instruction &in, const operands &) {
  emit_loc();
  emit_a_type_op(in.op, in.function2, 0, 0, 0, in.function);
}

// A branch whose offset field cannot hold the distance to its target would branch somewhere
// else; that is an error. Checked in the last pass only, when every label has its final value,
// and before the word's record starts, so that a listing shows the message before the line.
void check_branch_target(const operands &o) {
  if (kel_pass != 3 || !o.has_destination) return;
  uint32_t distance = o.destination - *location - 4;
  if ((distance & 3) != 0) text_message(TEXT_ERROR_ECHO, "Branch target not word aligned\n");
  int32_t words = static_cast<int32_t>(distance) >> 2; // as the offset field is taken
  if (words < -32768 || words > 32767)
    text_message(TEXT_ERROR_ECHO, "Branch target out of range\n");
}

void build_branch(const instruction &in, const operands &o) {
  check_branch_target(o);
  emit_loc();
  emit_l_type_op(in.op, o.rs1, o.rs2, o.destination);
}

void build_branch_fixed_rt(const instruction &in, const operands &o) {
  check_branch_target(o);
  emit_loc();
  emit_l_type_op(in.op, o.rs1, in.function2, o.destination);
}

void build_jump(const instruction &in, const operands &o) {
  emit_loc();
  if (o.register_form)
    emit_i_type_op(OP_JR, o.rd, 0, ALU_JR);
  else
    emit_d_type_op(in.op, o.immediate);
}

void build_jump_register(const instruction &in, const operands &o) {
  emit_loc();
  emit_i_type_op(in.op, o.rd, 0, in.function);
}

void build_jump_link_register(const instruction &in, const operands &o) {
  emit_loc();
  emit_a_type_op(OP_RTYPE, o.rs, 0, o.rd, 0, in.function);
}

void build_memory(const instruction &in, const operands &o) {
  emit_loc();
  emit_b_type_op(in.op, o.rs, o.rt, o.immediate);
}

constexpr instruction instructions[] = {
    // Arithmetic, logical and comparison.
    {T_ADD, "d,s,R", OP_ADDI, ALU_ADD, 0, build_add},
    {T_ADDU, "d,s,R", OP_ADDIU, ALU_ADDU, 0, build_alu},
    {T_SUB, "d,s,R", OP_SUBI, ALU_SUB, 0, build_alu},
    {T_SUBU, "d,s,R", OP_SUBIU, ALU_SUBU, 0, build_alu},
    {T_AND, "d,s,R", OP_ANDI, ALU_AND, 0, build_alu},
    {T_OR, "d,s,R", OP_ORI, ALU_OR, 0, build_alu},
    {T_XOR, "d,s,R", OP_XORI, ALU_XOR, 0, build_alu},
    {T_SLT, "d,s,R", OP_SLTI, ALU_SLT, 0, build_alu},
    {T_SLTU, "d,s,R", OP_SLTIU, ALU_SLTU, 0, build_alu},
    {T_ADDI, "d,s,I", OP_ADDI, 0, 0, build_immediate},
    {T_ADDIU, "d,s,I", OP_ADDIU, 0, 0, build_immediate},
    {T_ANDI, "d,s,I", OP_ANDI, 0, 0, build_immediate},
    {T_ORI, "d,s,I", OP_ORI, 0, 0, build_immediate},
    {T_XORI, "d,s,I", OP_XORI, 0, 0, build_immediate},
    {T_SLTI, "d,s,I", OP_SLTI, 0, 0, build_immediate},
    {T_SLTIU, "d,s,I", OP_SLTIU, 0, 0, build_immediate},
    {T_LUI, "d,I", OP_LUI, 0, 0, build_immediate},
    {T_NOR, "d,s,t", OP_RTYPE, ALU_NOR, 0, build_three_registers},
    {T_SEQ, "d,s,t", OP_RTYPE, ALU_SEQ, 0, build_three_registers},
    {T_SGE, "d,s,t", OP_RTYPE, ALU_SGE, 0, build_three_registers},
    {T_SGEU, "d,s,t", OP_RTYPE, ALU_SGEU, 0, build_three_registers},
    {T_SGT, "d,s,t", OP_RTYPE, ALU_SGT, 0, build_three_registers},
    {T_SGTU, "d,s,t", OP_RTYPE, ALU_SGTU, 0, build_three_registers},
    {T_SLE, "d,s,t", OP_RTYPE, ALU_SLE, 0, build_three_registers},
    {T_SLEU, "d,s,t", OP_RTYPE, ALU_SLEU, 0, build_three_registers},
    {T_SNE, "d,s,t", OP_RTYPE, ALU_SNE, 0, build_three_registers},
    {T_MOVE, "d,s", OP_RTYPE, ALU_ADD, 0, build_two_registers},
    {T_NEG, "d,s", OP_RTYPE, ALU_NEG, 0, build_two_registers},
    {T_NEGU, "d,s", OP_RTYPE, ALU_NEGU, 0, build_two_registers},
    {T_NOT, "d,s", OP_NOT, 0, 0, build_two_registers_immediate},
    {T_ABS, "d,s", OP_ABS, 0, 0, build_two_registers_immediate},
    {T_LI, "d,L", OP_LUI, 0, 0, build_load_immediate},
    // Shifts, multiply, HI/LO and system.
    {T_SLL, "d,s,S", OP_SLL, ALU_SLL, ALU_SLLV, build_shift},
    {T_SRA, "d,s,S", OP_SRA, ALU_SRA, ALU_SRAV, build_shift},
    {T_SRL, "d,s,S", OP_SRL, ALU_SRL, ALU_SRLV, build_shift},
    {T_SLLV, "d,s,t", OP_RTYPE, ALU_SLLV, 0, build_variable_shift},
    {T_SRAV, "d,s,t", OP_RTYPE, ALU_SRAV, 0, build_variable_shift},
    {T_SRLV, "d,s,t", OP_RTYPE, ALU_SRLV, 0, build_variable_shift},
    {T_ROL, "d,s,t", OP_RTYPE, ALU_ROL, 0, build_three_registers},
    {T_ROR, "d,s,t", OP_RTYPE, ALU_ROR, 0, build_three_registers},
    {T_MULT, "s,t", OP_RTYPE, ALU_MULT, 0, build_multiply},
    {T_MULTU, "s,t", OP_RTYPE, ALU_MULTU, 0, build_multiply},
    {T_MUL, "m", OP_RTYPE, ALU_MULT, ALU_MFLO, build_multiply_move},
    {T_MULO, "m", OP_RTYPE, ALU_MULT, ALU_MFLO, build_multiply_move},
    {T_MULOU, "m", OP_RTYPE, ALU_MULTU, ALU_MFLO, build_multiply_move},
    {T_MFHI, "d", OP_RTYPE, ALU_MFHI, 0, build_move_from},
    {T_MFLO, "d", OP_RTYPE, ALU_MFLO, 0, build_move_from},
    {T_MTHI, "b", OP_RTYPE, ALU_MTHI, 0, build_move_to},
    {T_MTLO, "b", OP_RTYPE, ALU_MTLO, 0, build_move_to},
    {T_NOP, "", OP_SLL, 0, 0, build_fixed},
    {T_RFE, "", OP_RFE, ALU_RFE, 16, build_fixed},
    // Branches and jumps.
    {T_BEQ, "s,t,B", OP_BEQ, 0, 0, build_branch},
    {T_BNE, "s,t,B", OP_BNE, 0, 0, build_branch},
    {T_BEQZ, "s,t,B", OP_BEQZ, 0, 0, build_branch},
    {T_BGE, "s,t,B", OP_BGE, 0, 0, build_branch},
    {T_BGEU, "s,t,B", OP_BGEU, 0, 0, build_branch},
    {T_BGT, "s,t,B", OP_BGT, 0, 0, build_branch},
    {T_BGTU, "s,t,B", OP_BGTU, 0, 0, build_branch},
    {T_BLE, "s,t,B", OP_BLE, 0, 0, build_branch},
    {T_BLEU, "s,t,B", OP_BLEU, 0, 0, build_branch},
    {T_BLT, "s,t,B", OP_BLT, 0, 0, build_branch},
    {T_BLTU, "s,t,B", OP_BLTU, 0, 0, build_branch},
    {T_BLTZ, "s,B", OP_BLTZ, 0, 0, build_branch_fixed_rt},
    {T_BGEZ, "s,B", OP_BGEZ, 0, 1, build_branch_fixed_rt},
    {T_BLTZAL, "s,B", OP_BLTZAL, 0, 16, build_branch_fixed_rt},
    {T_BGEZAL, "s,B", OP_BGEZAL, 0, 17, build_branch_fixed_rt},
    {T_BLEZ, "s,B", OP_BLEZ, 0, 0, build_branch_fixed_rt},
    {T_BGTZ, "s,B", OP_BGTZ, 0, 0, build_branch_fixed_rt},
    {T_BNEZ, "s,B", OP_BNEZ, 0, 1, build_branch_fixed_rt},
    {T_J, "J", OP_J, 0, 0, build_jump},
    {T_B, "K", OP_J, 0, 0, build_jump},
    {T_JAL, "A", OP_JAL, 0, 0, build_jump},
    {T_JR, "d", OP_JR, ALU_JR, 0, build_jump_register},
    {T_JALR, "b,d", OP_RTYPE, ALU_JALR, 0, build_jump_link_register},
    // Loads and stores.
    {T_LB, "r,M", OP_LB, 0, 0, build_memory},
    {T_LBU, "r,M", OP_LBU, 0, 0, build_memory},
    {T_LH, "r,M", OP_LH, 0, 0, build_memory},
    {T_LHU, "r,M", OP_LHU, 0, 0, build_memory},
    {T_LW, "r,M", OP_LW, 0, 0, build_memory},
    {T_LWL, "r,M", OP_LWL, 0, 0, build_memory},
    {T_LWR, "r,M", OP_LWR, 0, 0, build_memory},
    {T_SB, "r,M", OP_SB, 0, 0, build_memory},
    {T_SH, "r,M", OP_SH, 0, 0, build_memory},
    {T_SW, "r,M", OP_SW, 0, 0, build_memory},
};
static_assert(std::size(instructions) == 84, "one row per mnemonic");

// Row index of every mnemonic token, -1 for other tokens.
constexpr auto instruction_index = [] {
  std::array<int, T_TOKEN_COUNT_> index{};
  for (int &i : index)
    i = -1;
  for (int i = 0; i < static_cast<int>(std::size(instructions)); i++)
    index[instructions[i].token] = i;
  return index;
}();

// Asserts a comma (or other punctuation) and consumes it.
void expect(int token) {
  scan_test(nullptr, token, &command_stop);
  scan_();
}

// An optional last operand: true when the current token can begin it; otherwise the absence is
// reported with the tokens that could have begun it.
bool operand_present(set_ *first) {
  if (scan_test_set(nullptr, first, nullptr)) return true;
  scan_test_set(nullptr, first, &command_stop);
  return false;
}

bool is_register() {
  return scan_test_set(nullptr, &kel_reg_34_first, nullptr);
}
bool is_test_expression() {
  return scan_test(nullptr, T_LPAR_HASH, nullptr);
}

// Skips the optional "$" before a target.
void target_prefix() {
  if (scan_test(nullptr, T_DOLLAR, nullptr)) expect(T_DOLLAR);
}

// Reads the operands of a row's syntax; false when the instruction writes no word.
bool read_operands(const char *syntax, operands &o) {
  for (const char *p = syntax; *p != '\0'; p++) {
    switch (*p) {
    case 'd':
      o.rd = reg();
      break;
    case 's':
      o.rs1 = reg();
      break;
    case 't':
      o.rs2 = reg();
      break;
    case 'b':
      o.rs = reg();
      break;
    case 'r':
      o.rt = reg();
      break;
    case ',':
      expect(T_COMMA);
      break;
    case 'R':
    case 'S':
      if (!operand_present(*p == 'R' ? &kel_command_regimm_first : &kel_command_regimmtest_first))
        return false;
      o.register_form = is_register();
      if (o.register_form)
        o.rs2 = reg();
      else
        o.immediate = is_test_expression() ? expr() : imm();
      break;
    case 'I':
      if (operand_present(&kel_command_immtest_first))
        o.immediate = is_test_expression() ? expr() : imm();
      break;
    case 'L':
      o.immediate = imm();
      break;
    case 'B':
      if (operand_present(&kel_command_target_first)) {
        target_prefix();
        o.destination = jimm();
        o.has_destination = true;
      }
      break;
    case 'J':
    case 'K':
      if (!operand_present(*p == 'J' ? &kel_command_jump_first : &kel_command_regimm_first))
        return false;
      o.register_form = is_register();
      if (o.register_form) {
        o.rd = reg();
      } else {
        if (*p == 'J') target_prefix();
        o.immediate = jimm();
      }
      break;
    case 'A':
      if (operand_present(&jimm_first)) o.immediate = jimm();
      break;
    case 'M':
      o.immediate = imm();
      if (scan_test(nullptr, T_LPAR, nullptr)) {
        expect(T_LPAR);
        o.rs = reg();
        expect(T_RPAR);
      }
      break;
    case 'm': {
      uint32_t first = reg();
      expect(T_COMMA);
      uint32_t second = reg();
      if (scan_test(nullptr, T_COMMA, nullptr)) {
        expect(T_COMMA);
        o.rd = first;
        o.rs1 = second;
        o.rs2 = reg();
      } else {
        o.rd = first;
        o.rs1 = first;
        o.rs2 = second;
      }
      break;
    }
    }
  }
  return true;
}

} // namespace

void command() {
  // command ::= mnemonic operands, as the instruction table gives them
  int index = -1;
  if (scan_test_set(nullptr, &command_first, &command_stop)) index = instruction_index[kel_token()];
  if (index >= 0) {
    const instruction &in = instructions[index];
    scan_();
    operands o{};
    if (read_operands(in.syntax, o)) {
      in.build(in, o);
      emit_nop(0); // no instruction asks for padding
    }
  }
  scan_test_set(nullptr, &command_stop, &command_stop);
}
