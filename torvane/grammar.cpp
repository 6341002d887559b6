// The statement grammar: the first and stop sets of every rule, the line rules, and labels.
#include <cstdio>

#include "memalloc.h"
#include "mips_aux.h"
#include "torvane.h"

int kel_pass;
const char *kel_outputfilename = "torvane2.out";
symbol_table *regtable;
symbol_table *torvane;
torvane_data_node *last_label;
torvane_data_node *dummy_label;

// The symbol module keeps an index beside the label table's 101 buckets (which the statistics
// report), so a look-up costs the same however many labels a program has.
torvane_data_node *kel_find_label(const char *name) {
  return static_cast<torvane_data_node *>(symbol_lookup_key(torvane, &name, nullptr));
}

// The token groups the sets are made of.
#define KEL_MNEMONICS                                                                              \
  T_ABS, T_ADD, T_ADDI, T_ADDIU, T_ADDU, T_AND, T_ANDI, T_B, T_BEQ, T_BEQZ, T_BGE, T_BGEU, T_BGEZ, \
      T_BGEZAL, T_BGT, T_BGTU, T_BGTZ, T_BLE, T_BLEU, T_BLEZ, T_BLT, T_BLTU, T_BLTZ, T_BLTZAL,     \
      T_BNE, T_BNEZ, T_J, T_JAL, T_JALR, T_JR, T_LB, T_LBU, T_LH, T_LHU, T_LI, T_LUI, T_LW, T_LWL, \
      T_LWR, T_MFHI, T_MFLO, T_MOVE, T_MTHI, T_MTLO, T_MUL, T_MULO, T_MULOU, T_MULT, T_MULTU,      \
      T_NEG, T_NEGU, T_NOP, T_NOR, T_NOT, T_OR, T_ORI, T_RFE, T_ROL, T_ROR, T_SB, T_SEQ, T_SGE,    \
      T_SGEU, T_SGT, T_SGTU, T_SH, T_SLE, T_SLEU, T_SLL, T_SLLV, T_SLT, T_SLTI, T_SLTIU, T_SLTU,   \
      T_SNE, T_SRA, T_SRAV, T_SRL, T_SRLV, T_SUB, T_SUBU, T_SW, T_XOR, T_XORI

#define KEL_DIRECTIVES                                                                             \
  T_DOT_ALIGN, T_DOT_BLOCKB, T_DOT_BLOCKH, T_DOT_BLOCKW, T_DOT_BYTE, T_DOT_DATA, T_DOT_END,        \
      T_DOT_EQU, T_DOT_HALF, T_DOT_INCLUDE, T_DOT_STRING, T_DOT_TEXT, T_DOT_WORD

#define KEL_REGISTERS                                                                              \
  T_R0, T_R1, T_R10, T_R11, T_R12, T_R13, T_R14, T_R15, T_R16, T_R17, T_R18, T_R19, T_R2, T_R20,   \
      T_R21, T_R22, T_R23, T_R24, T_R25, T_R26, T_R27, T_R28, T_R29, T_R3, T_R30, T_R31, T_R4,     \
      T_R5, T_R6, T_R7, T_R8, T_R9, T_FP, T_SP

// Tokens that can begin an operand expression.
#define KEL_OPERAND_START                                                                          \
  SCAN_P_ID, SCAN_P_INTEGER, T_BANG, T_LPAR, T_PLUS, T_MINUS, T_FALSE, T_NULL, T_TRUE, T_TILDE

// What can follow e7; the stop sets of the tighter levels add their own operators to it.
#define KEL_E7_STOP                                                                                \
  SCAN_P_EOF, SCAN_P_EOLN, T_NE, T_AMP, T_AMPAMP, T_LPAR, T_RPAR, T_ZERO, T_LT, T_LE, T_EQ, T_GT,  \
      T_GE, T_CARET, T_BAR, T_BARBAR

set_ unit_first, unit_stop, code_first, code_stop, kel_code_2_first, kel_code_4_first;
set_ label_first, label_stop, instr_first, instr_stop, kel_instr_0_first, kel_instr_1_first;
set_ string_first, string_stop, directive_first, directive_stop, kel_directive_2_first;
set_ command_first, command_stop, reg_first, reg_stop, kel_reg_34_first;
set_ kel_command_regimm_first, kel_command_regimmtest_first, kel_command_immtest_first;
set_ kel_command_target_first, kel_command_jump_first;
set_ e0_first, e0_stop, e1_first, e1_stop, e2_stop, e3_stop, e4_stop, e5_stop, e6_stop;
set_ e7_stop, e8_stop, e9_stop, e10_stop, e11_stop;
set_ imm_first, imm_stop, jimm_first, jimm_stop, expr_first, expr_stop;
set_ kel_e1_op_first, kel_e7_op_first, kel_e8_op_first, kel_e9_op_first, kel_e10_op_first;
set_ kel_expr_op_first, kel_e1_pass_first;

void kel_set_initialise() {
  // Lines and labels.
  set_assign_list(&unit_first,
                  {SCAN_P_ID, SCAN_P_EOLN, T_DOLLAR, KEL_DIRECTIVES, KEL_MNEMONICS, SET_LIST_END});
  set_assign_list(&unit_stop, {SCAN_P_EOF, SET_LIST_END});
  set_assign_list(&code_first,
                  {SCAN_P_ID, SCAN_P_EOLN, T_DOLLAR, KEL_DIRECTIVES, KEL_MNEMONICS, SET_LIST_END});
  set_assign_list(&code_stop, {SCAN_P_ID, SCAN_P_EOF, SCAN_P_EOLN, T_DOLLAR, KEL_DIRECTIVES,
                               KEL_MNEMONICS, SET_LIST_END});
  set_assign_list(&kel_code_2_first, {SCAN_P_ID, T_DOLLAR, SET_LIST_END});
  set_assign_list(&kel_code_4_first, {KEL_DIRECTIVES, KEL_MNEMONICS, SET_LIST_END});
  set_assign_list(&label_first, {SCAN_P_ID, SET_LIST_END});
  set_assign_list(&label_stop, {SCAN_P_EOF, T_COLON, SET_LIST_END});
  set_assign_list(&instr_first, {KEL_DIRECTIVES, KEL_MNEMONICS, SET_LIST_END});
  set_assign_list(&instr_stop, {SCAN_P_EOF, SCAN_P_EOLN, SET_LIST_END});
  set_assign_list(&kel_instr_0_first, {KEL_MNEMONICS, SET_LIST_END});
  set_assign_list(&kel_instr_1_first, {KEL_DIRECTIVES, SET_LIST_END});
  set_assign_list(&string_first, {T_DQUOTE, SET_LIST_END});
  set_assign_list(&string_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_RPAR, SET_LIST_END});

  // Directives and instructions.
  set_assign_list(&directive_first, {KEL_DIRECTIVES, SET_LIST_END});
  set_assign_list(&directive_stop, {SCAN_P_EOF, SCAN_P_EOLN, SET_LIST_END});
  set_assign_list(&kel_directive_2_first, {KEL_OPERAND_START, SET_LIST_END});
  set_assign_list(&command_first, {KEL_MNEMONICS, SET_LIST_END});
  set_assign_list(&command_stop, {SCAN_P_EOF, SCAN_P_EOLN, SET_LIST_END});
  set_assign_list(&reg_first, {KEL_REGISTERS, SET_LIST_END});
  set_assign_list(&kel_reg_34_first, {KEL_REGISTERS, SET_LIST_END});
  set_assign_list(&reg_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_RPAR, T_COMMA, SET_LIST_END});
  // What can begin each kind of optional last operand of an instruction.
  set_assign_list(&kel_command_regimm_first, {KEL_REGISTERS, KEL_OPERAND_START, SET_LIST_END});
  set_assign_list(&kel_command_regimmtest_first,
                  {KEL_REGISTERS, KEL_OPERAND_START, T_LPAR_HASH, SET_LIST_END});
  set_assign_list(&kel_command_immtest_first, {KEL_OPERAND_START, T_LPAR_HASH, SET_LIST_END});
  set_assign_list(&kel_command_target_first, {KEL_OPERAND_START, T_DOLLAR, SET_LIST_END});
  set_assign_list(&kel_command_jump_first,
                  {KEL_REGISTERS, KEL_OPERAND_START, T_DOLLAR, SET_LIST_END});

  // Expressions.
  set_assign_list(&e0_first,
                  {SCAN_P_ID, SCAN_P_INTEGER, T_LPAR, T_FALSE, T_NULL, T_TRUE, SET_LIST_END});
  set_assign_list(&e1_first, {KEL_OPERAND_START, SET_LIST_END});
  set_assign_list(&imm_first, {KEL_OPERAND_START, SET_LIST_END});
  set_assign_list(&jimm_first, {KEL_OPERAND_START, SET_LIST_END});
  set_assign_list(&expr_first, {T_LPAR_HASH, SET_LIST_END});
  set_assign_list(&e0_stop, {KEL_E7_STOP, T_STAR, T_STARSTAR, T_PLUS, T_MINUS, T_SLASH, T_SHL,
                             T_SHR, SET_LIST_END});
  set_assign_list(&e11_stop,
                  {KEL_E7_STOP, T_STAR, T_PLUS, T_MINUS, T_SLASH, T_SHL, T_SHR, SET_LIST_END});
  set_assign_list(&e10_stop,
                  {KEL_E7_STOP, T_STAR, T_PLUS, T_MINUS, T_SLASH, T_SHL, T_SHR, SET_LIST_END});
  set_assign_list(&e9_stop, {KEL_E7_STOP, T_PLUS, T_MINUS, T_SHL, T_SHR, SET_LIST_END});
  set_assign_list(&e8_stop, {KEL_E7_STOP, T_SHL, T_SHR, SET_LIST_END});
  set_assign_list(&e7_stop, {KEL_E7_STOP, SET_LIST_END});
  set_assign_list(&e6_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_NE, T_AMPAMP, T_LPAR, T_RPAR, T_ZERO, T_LT,
                             T_LE, T_EQ, T_GT, T_GE, T_CARET, T_BAR, T_BARBAR, SET_LIST_END});
  set_assign_list(&e5_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_NE, T_AMPAMP, T_LPAR, T_RPAR, T_ZERO, T_LT,
                             T_LE, T_EQ, T_GT, T_GE, T_CARET, T_BARBAR, SET_LIST_END});
  set_assign_list(&e4_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_NE, T_AMPAMP, T_LPAR, T_RPAR, T_ZERO, T_LT,
                             T_LE, T_EQ, T_GT, T_GE, T_BARBAR, SET_LIST_END});
  set_assign_list(&e3_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_NE, T_LPAR, T_RPAR, T_ZERO, T_LT, T_LE,
                             T_EQ, T_GT, T_GE, T_BARBAR, SET_LIST_END});
  set_assign_list(&e2_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_NE, T_LPAR, T_RPAR, T_ZERO, T_LT, T_LE,
                             T_EQ, T_GT, T_GE, SET_LIST_END});
  set_assign_list(&e1_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_LPAR, T_ZERO, SET_LIST_END});
  set_assign_list(&imm_stop, {SCAN_P_EOF, SCAN_P_EOLN, T_LPAR, T_ZERO, SET_LIST_END});
  set_assign_list(&jimm_stop, {SCAN_P_EOF, SCAN_P_EOLN, SET_LIST_END});
  set_assign_list(&expr_stop, {SCAN_P_EOF, SCAN_P_EOLN, SET_LIST_END});
  // Operators of each level.
  set_assign_list(&kel_e1_op_first, {T_NE, T_LT, T_LE, T_EQ, T_GT, T_GE, SET_LIST_END});
  set_assign_list(&kel_e7_op_first, {T_SHL, T_SHR, SET_LIST_END});
  set_assign_list(&kel_e8_op_first, {T_PLUS, T_MINUS, SET_LIST_END});
  set_assign_list(&kel_e9_op_first, {T_STAR, T_SLASH, SET_LIST_END});
  set_assign_list(&kel_e10_op_first, {T_BANG, T_PLUS, T_MINUS, T_TILDE, SET_LIST_END});
  set_assign_list(&kel_expr_op_first,
                  {T_NE, T_AMP, T_AMPAMP, T_STAR, T_PLUS, T_MINUS, T_SLASH, T_LT, T_SHL, T_LE, T_EQ,
                   T_GT, T_GE, T_SHR, T_AT, T_CARET, T_BAR, T_BARBAR, SET_LIST_END});

  // Derived from the sets above: what ends an operand at every level of the expression rules.
  constexpr auto token_count = static_cast<uint32_t>(T_TOKEN_COUNT_);
  set_grow(&kel_e1_pass_first, token_count / 8 + 1);
  for (uint32_t token = 0; token < token_count; ++token) {
    bool ends = true;
    for (set_ *stop : {&e0_stop, &e11_stop, &e10_stop, &e9_stop, &e8_stop, &e7_stop, &e6_stop,
                       &e5_stop, &e4_stop, &e3_stop, &e2_stop, &e1_stop})
      ends = ends && set_includes_element(stop, token);
    for (set_ *op : {&kel_e1_op_first, &kel_e7_op_first, &kel_e8_op_first, &kel_e9_op_first})
      ends = ends && !set_includes_element(op, token);
    for (int op : {T_BARBAR, T_AMPAMP, T_CARET, T_BAR, T_AMP, T_STARSTAR})
      ends = ends && token != static_cast<uint32_t>(op);
    if (ends)
      kel_e1_pass_first.elements[token / 8] |= static_cast<unsigned char>(1u << (token % 8));
  }
}

void unit() {
  // unit ::= { code } EOF
  emit_code = kel_pass == 3;
  if (emit_code) emit_begin_object();
  code_location = 0;
  data_location = 0;
  location = &code_location;
  dummy_label = static_cast<torvane_data_node *>(symbol_new_symbol(sizeof(torvane_data_node)));

  // The register names, entered again in every pass; only the statistics show them.
  for (int i = 0; i < 32; i++) {
    char *name = static_cast<char *>(mem_malloc(4));
    std::snprintf(name, 4, "r%d", i);
    auto *reg = static_cast<regtable_data_node *>(
        symbol_insert_key(regtable, &name, sizeof name, sizeof(regtable_data_node)));
    reg->val = i;
  }

  while (scan_test_set(nullptr, &unit_first, nullptr))
    code();
  scan_test_set(nullptr, &unit_stop, &unit_stop);
}

void code() {
  // code ::= [ label ":" | "$" label ":" ] [ instr ] EOLN
  set_emitted_default();
  last_label = nullptr;
  if (scan_test_set(nullptr, &kel_code_2_first, nullptr)) {
    if (scan_test(nullptr, SCAN_P_ID, nullptr)) {
      label();
      scan_test(nullptr, T_COLON, &code_stop);
      scan_();
    } else {
      scan_test(nullptr, T_DOLLAR, &code_stop);
      scan_();
      label();
      scan_test(nullptr, T_COLON, &code_stop);
      scan_();
    }
  }
  if (scan_test_set(nullptr, &kel_code_4_first, nullptr)) instr();
  emit_fill();
  scan_test(nullptr, SCAN_P_EOLN, &code_stop);
  scan_();
  scan_test_set(nullptr, &code_stop, &code_stop);
}

void label() {
  // label ::= ID
  scan_test(nullptr, SCAN_P_ID, &label_stop);
  char *id = text_scan_data->id;
  scan_();
  // The label's record, or a new one when it has none yet.
  auto *record = static_cast<torvane_data_node *>(
      symbol_find_or_insert_key(torvane, &id, sizeof id, sizeof(torvane_data_node)));
  record->val = static_cast<integer>(*location);
  last_label = record;
  scan_test_set(nullptr, &label_stop, &label_stop);
}

void instr() {
  // instr ::= command | directive
  if (scan_test_set(nullptr, &kel_instr_0_first, nullptr))
    command();
  else if (scan_test_set(nullptr, &kel_instr_1_first, nullptr))
    directive();
  else
    scan_test_set(nullptr, &instr_first, &instr_stop);
  scan_test_set(nullptr, &instr_stop, &instr_stop);
}

char *string() {
  // string ::= a double-quoted string token
  // Returns the string's content, or null when no string was there (the error is reported).
  char *content = nullptr;
  if (scan_test(nullptr, T_DQUOTE, &string_stop)) content = text_scan_data->id;
  scan_();
  scan_test_set(nullptr, &string_stop, &string_stop);
  return content;
}
