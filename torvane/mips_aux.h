// mips_aux: the object file, the listing's byte columns, the location counters and the
// instruction word builders. Every byte the assembler produces goes through these writers.
#ifndef TORVANE_MIPS_AUX_H
#define TORVANE_MIPS_AUX_H

#include <cstdint>

extern int emit_code;      // nonzero while object text may be written (pass 3)
extern int autoinsert_nop; // -n: no byte columns in the listing
extern uint32_t *location; // the current counter: &code_location or &data_location
extern uint32_t code_location;
extern uint32_t data_location;

// Object file.
void init(const char *outputfilename);
int quit(const char *outputfilename);
// Empties the object file before pass 3 writes it (init creates it without emptying it).
void emit_begin_object();
// Leaves the object file as it is when the run ends early: it is one of the sources.
void emit_keep_object();

// Writers. Each moves the current counter in every pass; text is written only in pass 3.
int emitf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void emit_eoln();
void emit_loc();
void emit_byte(uint32_t val);
void emit_halfword(uint32_t val);
void emit_word(uint32_t val);
void emit_control(uint32_t val);
void set_emitted_default();
void emit_fill();

// Word builders: each masks its fields, packs them and writes the word with emit_word.
void emit_a_type_op(int op, uint32_t rd, uint32_t rs1, uint32_t rs2, uint32_t shamt,
                    uint32_t function);
void emit_b_type_op(int op, uint32_t rd, uint32_t rs, uint32_t immediate);
void emit_c_type_op(int op, uint32_t rd, uint32_t rs, uint32_t shamt, uint32_t function);
void emit_d_type_op(int op, uint32_t address);
void emit_f_type_op(int op, uint32_t shamt1, uint32_t rs, uint32_t shamt2, uint32_t function);
void emit_i_type_op(int op, uint32_t rd, uint32_t shamt, uint32_t function);
void emit_l_type_op(int op, uint32_t rs1, uint32_t rd, uint32_t immediate);
void emit_li_type_op(uint32_t rd, uint32_t immediate);
void emit_nop(int number);

#endif
