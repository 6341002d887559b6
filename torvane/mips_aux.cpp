// mips_aux: the object file, the listing's byte columns, the location counters and the
// instruction word builders.
//
// The object file is a text memory image: every location record is a line break, "@" with the
// eight-digit address and a space, then the bytes written at that address in hexadecimal. While
// the listing is on, the same record and data texts (but not the record line breaks) are echoed
// to standard output, followed by fill spaces up to the column where the source line is echoed.
#include "mips_aux.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "mips_def.h"
#include "textio.h"

int emit_code = 0;
int autoinsert_nop = 0;
uint32_t *location = nullptr;
uint32_t code_location = 0;
uint32_t data_location = 0;

namespace {

FILE *objfile = nullptr;

// Characters of data text echoed on the current listing line since its last location record.
// Starts at -10 on a line so that a line without records is filled as wide as one with a record.
int emitted = 0;

// The object file is written in large blocks; a million-line source writes megabytes of text.
char objbuffer[1 << 16];

// Object text not yet handed to the object stream. Pass 3 writes a few short items for every
// line, which cost less collected here and handed over in large pieces. Standard output also
// carries the listing, so object text written there goes to it item by item, in order.
char pending[1 << 16];
size_t pending_length = 0;

void flush_object() {
  if (pending_length == 0 || objfile == nullptr) return;
  fwrite(pending, 1, pending_length, objfile);
  pending_length = 0;
}

constexpr char hex_digits[] = "0123456789ABCDEF";

// The widest fill is 26 spaces plus the final one.
constexpr char spaces[] = "                                ";

// Writes two upper-case hexadecimal digits of the low byte of `val` at `out`.
inline char *put_hex2(char *out, uint32_t val) {
  out[0] = hex_digits[(val >> 4) & 0xF];
  out[1] = hex_digits[val & 0xF];
  return out + 2;
}

// Stream writes without the stream lock where the C library offers that: the program has one
// thread, and pass 3 writes a few items for every line.
inline void write_text(const char *text, size_t length, FILE *stream) {
#if defined(__GLIBC__)
  fwrite_unlocked(text, 1, length, stream);
#else
  fwrite(text, 1, length, stream);
#endif
}

// Puts object text into the object stream (which is open). Inlined into every writer, so the
// copy of each item's few characters has a constant length.
[[gnu::always_inline]] inline void put_object(const char *text, size_t length) {
  if (objfile == stdout) {
    write_text(text, length, stdout);
    return;
  }
  if (length > sizeof pending - pending_length) {
    flush_object();
    if (length > sizeof pending) {
      fwrite(text, 1, length, objfile);
      return;
    }
  }
  std::memcpy(pending + pending_length, text, length);
  pending_length += length;
}

// Whether an item written now is echoed on the listing. Tested per item, before it is written.
inline bool echoing() {
  return emitted <= 15 && text_get_echo() && !autoinsert_nop;
}

// Writes an already formatted item as emitf would: echoed when `echoing`, always put into the
// object stream. Returns the number of characters echoed. Called only while emit_code is set.
[[gnu::always_inline]] inline int put_item(const char *text, size_t length) {
  int echoed = 0;
  if (echoing()) {
    write_text(text, length, stdout);
    echoed = static_cast<int>(length);
  }
  if (objfile != nullptr) put_object(text, length);
  return echoed;
}

// Adds echoed characters to the column counter without letting it overflow.
inline void count_emitted(int echoed) {
  if (emitted <= INT_MAX - echoed) emitted += echoed;
}

} // namespace

// The object file is created before pass 1 but emptied only when pass 3 starts to write it, or
// when the run ends before that: a source file that turns out to be the object file (an included
// file is only known once the passes reach it) is refused before anything of it is lost.
namespace {
bool empty_pending;

void empty_object_file() {
  if (empty_pending && objfile != nullptr && objfile != stdout) {
    empty_pending = false;
    if (ftruncate(fileno(objfile), 0) != 0) { /* a device or pipe: nothing to empty */
    }
  }
}
} // namespace

void init(const char *outputfilename) {
  if (outputfilename != nullptr && outputfilename[0] == '-') {
    objfile = stdout;
    return;
  }
  int fd = outputfilename == nullptr ? -1 : open(outputfilename, O_WRONLY | O_CREAT, 0666);
  objfile = fd < 0 ? nullptr : fdopen(fd, "w");
  if (objfile == nullptr) {
    if (fd >= 0) close(fd);
    text_message(TEXT_FATAL, "Unable to open object file"); // ends the process
    return;
  }
  setvbuf(objfile, objbuffer, _IOFBF, sizeof objbuffer);
  empty_pending = true;
  std::atexit(empty_object_file); // a run that stops early leaves an empty object file
  std::atexit(flush_object);      // runs first: a run that stops in pass 3 keeps what it wrote
}

void emit_begin_object() {
  empty_object_file();
}

void emit_keep_object() {
  empty_pending = false;
}

// Ends the last record and closes the object file. Standard output is only flushed, because the
// totals and the timing are written to it afterwards. A write that failed anywhere in the object
// text shows in the stream's error state or in the final flush, and is fatal.
int quit(const char * /*outputfilename*/) {
  emit_eoln();
  if (objfile == nullptr) return 0;
  flush_object();
  bool failed;
  if (objfile == stdout) {
    failed = fflush(stdout) != 0 || ferror(stdout) != 0;
  } else {
    failed = ferror(objfile) != 0;
    if (fclose(objfile) != 0) failed = true;
  }
  objfile = nullptr;
  if (failed) text_message(TEXT_FATAL, "Error writing object file\n");
  return 0;
}

int emitf(const char *fmt, ...) {
  if (!emit_code) return 0;
  int echoed = 0;
  va_list args;
  if (echoing()) {
    va_start(args, fmt);
    echoed = vprintf(fmt, args);
    va_end(args);
    if (echoed < 0) echoed = 0;
  }
  if (objfile != nullptr) {
    flush_object(); // the formatted text follows what is collected
    va_start(args, fmt);
    vfprintf(objfile, fmt, args);
    va_end(args);
  }
  return echoed;
}

void emit_eoln() {
  if (emit_code && objfile != nullptr) put_object("\n", 1);
}

// Starts a location record at the current counter. Its own ten characters are not counted.
void emit_loc() {
  emitted = 0;
  if (!emit_code) return;
  char record[10];
  record[0] = '@';
  uint32_t address = *location;
  for (int i = 8; i >= 1; i--, address >>= 4)
    record[i] = hex_digits[address & 0xF];
  record[9] = ' ';
  emit_eoln();
  put_item(record, sizeof record);
}

// A byte is written as two digits: the value is cut to its low eight bits.
void emit_byte(uint32_t val) {
  if (emit_code) {
    char text[2];
    put_hex2(text, val);
    count_emitted(put_item(text, sizeof text));
  }
  *location += 1u;
}

// A halfword is written as a space and two bytes: the value is cut to its low sixteen bits.
void emit_halfword(uint32_t val) {
  if (emit_code) {
    char text[6] = {' '};
    put_hex2(text + 1, val >> 8);
    text[3] = ' ';
    put_hex2(text + 4, val);
    count_emitted(put_item(text, sizeof text));
  }
  *location += 2u;
}

// A word is written most significant byte first, the four bytes separated by spaces.
void emit_word(uint32_t val) {
  if (emit_code) {
    char text[11];
    char *out = text;
    for (int shift = 24; shift >= 0; shift -= 8) {
      out = put_hex2(out, val >> shift);
      if (shift > 0) *out++ = ' ';
    }
    count_emitted(put_item(text, sizeof text));
  }
  *location += 4u;
}

// Separates the two words of "li": the first record line ends in three spaces and is followed
// by a line holding one space.
void emit_control(uint32_t /*val*/) {
  count_emitted(emitf("   \n "));
}

// With -n the counter is left as the previous line's fill left it, so lines without a record
// get a single fill space.
void set_emitted_default() {
  if (!autoinsert_nop) emitted = -10;
}

// Fills the listing line so that the source echo starts at column 28 on a line holding at most
// one word, one halfword or eight bytes.
void emit_fill() {
  if (!text_get_echo()) return;
  int e = emitted;
  size_t count = e <= 15 ? static_cast<size_t>(16 - e) + 1 : 1;
  write_text(spaces, count, stdout);
  int widest = e > 16 ? e : 16;
  emitted = widest < INT_MAX ? widest + 1 : widest;
}

// Word builders. Every value is masked to its field before it is shifted into place, so a value
// that is too wide never reaches a neighbouring field.

namespace {

constexpr uint32_t field(uint32_t value, uint32_t width, uint32_t shift) {
  return (value & ((1u << width) - 1u)) << shift;
}

constexpr uint32_t opcode(int op) {
  return field(static_cast<uint32_t>(op), 6, 26);
}

} // namespace

void emit_a_type_op(int op, uint32_t rd, uint32_t rs1, uint32_t rs2, uint32_t shamt,
                    uint32_t function) {
  emit_word(opcode(op) | field(rd, 5, 21) | field(rs1, 5, 16) | field(rs2, 5, 11) |
            field(shamt, 5, 6) | field(function, 6, 0));
}

void emit_b_type_op(int op, uint32_t rd, uint32_t rs, uint32_t immediate) {
  emit_word(opcode(op) | field(rd, 5, 21) | field(rs, 5, 16) | field(immediate, 16, 0));
}

void emit_c_type_op(int op, uint32_t rd, uint32_t rs, uint32_t shamt, uint32_t function) {
  emit_word(opcode(op) | field(rd, 5, 21) | field(rs, 5, 16) | field(shamt, 10, 6) |
            field(function, 6, 0));
}

// The jump target is bits 27..2 of the absolute address; the top four bits are dropped.
void emit_d_type_op(int op, uint32_t address) {
  emit_word(opcode(op) | field(address >> 2, 26, 0));
}

// shamt1 spans bits 30..21 and is ORed over the low five opcode bits.
void emit_f_type_op(int op, uint32_t shamt1, uint32_t rs, uint32_t shamt2, uint32_t function) {
  emit_word(opcode(op) | field(shamt1, 10, 21) | field(rs, 5, 11) | field(shamt2, 5, 6) |
            field(function, 6, 0));
}

void emit_i_type_op(int op, uint32_t rd, uint32_t shamt, uint32_t function) {
  emit_word(opcode(op) | field(rd, 5, 21) | field(shamt, 15, 6) | field(function, 6, 0));
}

// The branch offset counts words from the word after the branch, which sits at the current
// counter. It is cut to 16 bits without a range check.
void emit_l_type_op(int op, uint32_t rs1, uint32_t rd, uint32_t immediate) {
  uint32_t offset = (immediate - *location - 4u) >> 2;
  emit_word(opcode(op) | field(rs1, 5, 21) | field(rd, 5, 16) | field(offset, 16, 0));
}

// Always two words, lui then ori, so the size of "li" never depends on its value.
void emit_li_type_op(uint32_t rd, uint32_t immediate) {
  emit_b_type_op(OP_LUI, 0, rd, immediate >> 16);
  emit_control(0);
  emit_loc();
  emit_b_type_op(OP_ORI, rd, rd, immediate);
}

void emit_nop(int number) {
  if (!autoinsert_nop) return;
  for (int i = 0; i < number; i++) {
    emit_loc();
    emit_a_type_op(OP_SLL, 0, 0, 0, 0, ALU_SLL);
  }
}
