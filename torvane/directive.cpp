// Directives: sections and their counters, data, space, labels set to values, and inclusion.
#include <sys/stat.h>

#include "mips_aux.h"
#include "torvane.h"

namespace {

// Inclusions deeper than this end the run, so a file that includes itself cannot exhaust memory
// or file handles.
constexpr unsigned long max_include_depth = 256;
unsigned long includes_opened;

// Consumes the directive keyword or another expected terminal.
void expect(int token) {
  scan_test(nullptr, token, &directive_stop);
  scan_();
}

bool operand_follows() {
  return scan_test_set(nullptr, &kel_directive_2_first, nullptr);
}

void include(const char *name) {
  if (includes_opened - text_closed_files() >= max_include_depth)
    text_message(TEXT_FATAL_ECHO, "Include files nested too deeply\n");
  // The object file was created before pass 1; reading it back would assemble the run's own
  // output in place of the source it replaced.
  if (kel_is_object_file(name)) {
    emit_keep_object();
    text_message(TEXT_FATAL_ECHO, "Object file '%s' is the source file\n", name);
  }
  if (text_open(name) == nullptr) {
    text_message(TEXT_ERROR_ECHO, "include file '%s' not found\n", name);
    return;
  }
  includes_opened++;
  text_get_char();
  scan_();
}

} // namespace

bool kel_is_object_file(const char *name) {
  if (name[0] == '-' || kel_outputfilename[0] == '-') return false;
  struct stat named {};
  struct stat object {};
  return stat(name, &named) == 0 && stat(kel_outputfilename, &object) == 0 &&
         named.st_dev == object.st_dev && named.st_ino == object.st_ino;
}

torvane_data_node *current_label() {
  if (last_label != nullptr) return last_label;
  text_message(TEXT_ERROR_ECHO, "Missing label on directive\n");
  return dummy_label;
}

void directive() {
  // directive ::= ".include" "(" string ")" | ".text" [ e1 ] | ".data" [ e1 ] | ".word" e1
  //             | ".align" INTEGER | ".blockw" e1 | ".half" e1 | ".blockh" e1 | ".byte" e1
  //             | ".blockb" e1 | ".string" string | ".equ" e1 | ".end" [ e1 ]
  int keyword = kel_token();
  switch (keyword) {
  case T_DOT_INCLUDE: {
    expect(T_DOT_INCLUDE);
    expect(T_LPAR);
    const char *name = string();
    expect(T_RPAR);
    if (name != nullptr) include(name);
    break;
  }
  case T_DOT_TEXT:
    expect(T_DOT_TEXT);
    location = &code_location;
    if (operand_follows()) code_location = static_cast<uint32_t>(e1());
    break;
  case T_DOT_DATA:
    expect(T_DOT_DATA);
    location = &data_location;
    if (operand_follows()) data_location = static_cast<uint32_t>(e1());
    break;
  case T_DOT_WORD: {
    expect(T_DOT_WORD);
    auto value = static_cast<uint32_t>(e1());
    emit_loc();
    emit_word(value);
    break;
  }
  case T_DOT_ALIGN:
    expect(T_DOT_ALIGN);
    expect(SCAN_P_INTEGER);
    break;
  case T_DOT_BLOCKW:
    expect(T_DOT_BLOCKW);
    *location += 4u * static_cast<uint32_t>(e1());
    break;
  case T_DOT_HALF: {
    expect(T_DOT_HALF);
    auto value = static_cast<uint32_t>(e1());
    emit_loc();
    emit_halfword(value);
    break;
  }
  case T_DOT_BLOCKH:
    expect(T_DOT_BLOCKH);
    *location += 2u * static_cast<uint32_t>(e1());
    break;
  case T_DOT_BYTE: {
    expect(T_DOT_BYTE);
    auto value = static_cast<uint32_t>(e1());
    emit_loc();
    emit_byte(value);
    break;
  }
  case T_DOT_BLOCKB:
    expect(T_DOT_BLOCKB);
    *location += static_cast<uint32_t>(e1());
    break;
  case T_DOT_STRING: {
    expect(T_DOT_STRING);
    const char *text = string();
    if (text != nullptr) {
      emit_loc();
      for (const char *p = text; *p != '\0'; p++)
        emit_byte(static_cast<unsigned char>(*p));
      emit_byte(0);
    }
    break;
  }
  case T_DOT_EQU: {
    expect(T_DOT_EQU);
    integer value = e1();
    current_label()->val = value;
    break;
  }
  case T_DOT_END:
    expect(T_DOT_END);
    if (operand_follows()) e1();
    break;
  default:
    scan_test_set(nullptr, &directive_first, &directive_stop);
    break;
  }
  scan_test_set(nullptr, &directive_stop, &directive_stop);
}
