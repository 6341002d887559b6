// textio: the text buffer, source files with nested inclusion, line echo, and messages.
//
// The buffer holds token texts from its bottom upward and the current line of every open
// source file, stored reversed, from its top downward.
#ifndef KEL_TEXTIO_H
#define KEL_TEXTIO_H

#include <cstdint>
#include <cstdio>

// The token record: one current record rewritten by every scan_, and the body of every
// keyword-table entry. It lives here because an included file saves and restores it.
struct scan_data {
  char *id;
  int token;
  int extended;
  union {
    uint32_t u;
    int32_t i;
    double r;
    void *p;
  } data;
};

enum text_message_type {
  TEXT_INFO,
  TEXT_WARNING,
  TEXT_ERROR,
  TEXT_FATAL,
  TEXT_INFO_ECHO,
  TEXT_WARNING_ECHO,
  TEXT_ERROR_ECHO,
  TEXT_FATAL_ECHO
};

// State the scanner reads directly.
extern char *text_top;            // first free byte above the token texts
extern char *text_current;        // the current character; text_current[-1] is the next one
extern char *text_last_char;      // the current line's lowest byte, the space after its end
extern int text_char;             // current character, 0..255, or -1 at the end of input
extern scan_data *text_scan_data; // the current token record

void text_init(long max_text, uint32_t max_errors, uint32_t max_warnings, uint32_t tab_width);
FILE *text_open(const char *name); // null when the file cannot be opened
void text_next_line();             // text_get_char once the current line is exhausted
// Delivers the next character. Inline: the scanner asks for every character of the source.
inline void text_get_char() {
  if (text_current > text_last_char)
    text_char = static_cast<unsigned char>(*--text_current);
  else
    text_next_line();
}
void text_echo(int on);
int text_get_echo();
void text_echo_line();
void text_echo_line_number();
unsigned long text_line_number();
unsigned long text_column_number();
[[noreturn]] void text_out_of_space(); // the fatal "Ran out of text space"
// Appends c to the token texts; returns where it was stored.
inline char *text_insert_char(char c) {
  if (text_top >= text_last_char) text_out_of_space();
  *text_top = c;
  return text_top++;
}
char *text_insert_string(const char *s);
char *text_default_filetype(const char *fname, const char *ftype);
// How many included files have ended so far. The scanner compares it before and after reading a
// string or comment to notice that the token ran past the end of an included file.
unsigned long text_closed_files();

int text_message(text_message_type type, const char *fmt, ...)
    __attribute__((format(printf, 2, 3)));
int text_printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
uint32_t text_total_errors();
int text_print_total_errors();

#endif
