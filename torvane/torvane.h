// The assembler's grammar: shared state, the first and stop sets, and the rules.
#ifndef TORVANE_TORVANE_H
#define TORVANE_TORVANE_H

#include <cstdint>

#include "scan.h"
#include "set.h"
#include "symbol.h"
#include "tokens.h"

using integer = int32_t;

// A label (and a register-table record): the name text and a value.
struct torvane_data_node {
  char *id;
  integer val;
};
using regtable_data_node = torvane_data_node;

extern int kel_pass;                   // the current pass, 1 to 3
extern const char *kel_outputfilename; // the object file; a name beginning with '-' is stdout
extern symbol_table *regtable;         // register names r0..r31, entered in every pass
extern symbol_table *torvane;          // the label table, never cleared between passes
extern torvane_data_node *last_label;  // the label defined on the current line, or null
extern torvane_data_node *dummy_label; // receives a directive's value when the line has no label

// First and stop sets of the grammar, filled once by kel_set_initialise.
extern set_ unit_first, unit_stop, code_first, code_stop, kel_code_2_first, kel_code_4_first;
extern set_ label_first, label_stop, instr_first, instr_stop, kel_instr_0_first, kel_instr_1_first;
extern set_ string_first, string_stop, directive_first, directive_stop, kel_directive_2_first;
extern set_ command_first, command_stop, reg_first, reg_stop, kel_reg_34_first;
extern set_ kel_command_regimm_first, kel_command_regimmtest_first, kel_command_immtest_first;
extern set_ kel_command_target_first, kel_command_jump_first;
extern set_ e0_first, e0_stop, e1_first, e1_stop, e2_stop, e3_stop, e4_stop, e5_stop, e6_stop;
extern set_ e7_stop, e8_stop, e9_stop, e10_stop, e11_stop;
extern set_ imm_first, imm_stop, jimm_first, jimm_stop, expr_first, expr_stop;
extern set_ kel_e1_op_first, kel_e7_op_first, kel_e8_op_first, kel_e9_op_first, kel_e10_op_first;
extern set_ kel_expr_op_first;
// The tokens that end an expression at every level from e0 up to e1: in every level's stop set
// and no level's operator.
extern set_ kel_e1_pass_first;

void kel_set_initialise();

// Whether `name` is the object file (same device and inode): the driver refuses it as the source
// and the include directive as an included file, so a run never reads its own output as source.
bool kel_is_object_file(const char *name);

// The label of that name, or null; the same record a look-up in the label table finds.
torvane_data_node *kel_find_label(const char *name);

// Rules: each is entered with its first token current and leaves the next token current.
void unit();
void code();
void label();
void instr();
char *string();
void directive();
torvane_data_node *current_label();
void command();
int reg();
integer e0();
integer e1();
integer imm();
integer jimm();
integer expr();
int operation_def(int operation_code, int op1, int op2);

// The current token's number.
inline int kel_token() {
  return text_scan_data->token;
}

#endif
