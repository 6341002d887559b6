// scan: scanner set-up and the parser's token test and recovery primitives.
#ifndef KEL_SCAN_H
#define KEL_SCAN_H

#include "scanner.h"
#include "set.h"
#include "symbol.h"

// Switches set by scan_init and read by the scanner.
extern int scan_case_insensitive;
extern int scan_newline_visible;
extern int scan_show_skips;
extern int scan_symbol_echo;
extern const char *scan_token_names;
extern symbol_table *scan_table;

void scan_init(int case_insensitive, int newline_visible, int show_skips, int symbol_echo,
               const char *token_names);
void scan_load_keyword(const char *id1, const char *id2, int token, int extended);
// The keyword spelled by the `length` bytes at `text`, or null: the entry a lookup of that text
// in scan_table finds, answered from an index that scan_load_keyword keeps beside the table so
// that the scanner's lookups need no string hashing through the table's function pointers.
const scan_data *scan_find_keyword(const char *text, uint32_t length);
int scan_test(const char *production, int valid, set_ *stop);
int scan_test_set(const char *production, set_ *valid, set_ *stop);
void scan_skip(set_ *stop);

#endif
