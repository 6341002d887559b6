// arg: command-line options. Declare options, then process the argument vector.
#ifndef KEL_ARG_H
#define KEL_ARG_H

#include <cstdint>

enum arg_kind_type { ARG_BLANK, ARG_BOOLEAN, ARG_NUMERIC, ARG_STRING };

void arg_message(const char *description);
void arg_boolean(char key, const char *description, int *intvalue);
void arg_numeric(char key, const char *description, uint32_t *unsignedvalue);
void arg_string(char key, const char *description, const char **str);
// Sets the declared variables; returns the plain arguments, ended by a null pointer.
char **arg_process(int argc, char *argv[]);
[[noreturn]] void arg_help(const char *reason);

#endif
