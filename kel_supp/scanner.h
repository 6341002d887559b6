// scanner: turns the characters of the text module into tokens.
#ifndef KEL_SCANNER_H
#define KEL_SCANNER_H

#include "textio.h"

// The built-in token kinds; also the first sixteen token numbers.
enum scan_primitive_type {
  SCAN_P_IGNORE,
  SCAN_P_ID,
  SCAN_P_INTEGER,
  SCAN_P_REAL,
  SCAN_P_CHAR,
  SCAN_P_CHAR_ESC,
  SCAN_P_STRING,
  SCAN_P_STRING_ESC,
  SCAN_P_COMMENT,
  SCAN_P_COMMENT_VISIBLE,
  SCAN_P_COMMENT_NEST,
  SCAN_P_COMMENT_NEST_VISIBLE,
  SCAN_P_COMMENT_LINE,
  SCAN_P_COMMENT_LINE_VISIBLE,
  SCAN_P_EOF,
  SCAN_P_EOLN,
  SCAN_P_TOP
};

// Reads the next token into the current token record (*text_scan_data).
void scan_();

#endif
