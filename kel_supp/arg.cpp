// arg: command-line options. Declarations form a list, newest first; arg_process walks it for
// every option argument, and the help page prints it oldest first.
#include "arg.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "memalloc.h"

namespace {

struct arg_data {
  arg_kind_type kind;
  char key; // NUL for ARG_BLANK
  const char *description;
  int *intvalue;
  uint32_t *unsignedvalue;
  const char **str;
  arg_data *next; // the record declared before this one
};

arg_data *base = nullptr; // the newest declaration

void add_node(arg_kind_type kind, char key, const char *description, int *intvalue,
              uint32_t *unsignedvalue, const char **str) {
  auto *node = static_cast<arg_data *>(mem_calloc(1, sizeof(arg_data)));
  node->kind = kind;
  node->key = key;
  node->description = description;
  node->intvalue = intvalue;
  node->unsignedvalue = unsignedvalue;
  node->str = str;
  node->next = base;
  base = node;
}

// Reads an unsigned decimal number as the "%lu" input conversion does: white space, an optional
// sign (minus negates modulo 2^32), then digits up to the first non-digit. Without a digit the
// target keeps its value.
void parse_unsigned(const char *text, uint32_t *target) {
  while (std::isspace(static_cast<unsigned char>(*text)))
    ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  if (!std::isdigit(static_cast<unsigned char>(*text))) return;
  uint32_t value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
    value = value * 10 + static_cast<uint32_t>(*text - '0');
  *target = negative ? 0u - value : value;
}

// Prints one help line per declaration, oldest first. The list is newest first, so the records
// are gathered into an array and printed backwards rather than by recursion.
void arg_print() {
  uint32_t count = 0;
  for (const arg_data *node = base; node != nullptr; node = node->next)
    ++count;
  if (count == 0) return;
  auto *nodes = static_cast<const arg_data **>(mem_calloc(count, sizeof(arg_data *)));
  uint32_t filled = 0;
  for (const arg_data *node = base; node != nullptr; node = node->next)
    nodes[filled++] = node;
  while (filled > 0) {
    const arg_data *node = nodes[--filled];
    if (node->kind != ARG_BLANK) {
      const char *marker = node->kind == ARG_NUMERIC  ? "<n>"
                           : node->kind == ARG_STRING ? "<s>"
                                                      : "   ";
      std::printf("-%c %s ", node->key, marker);
    }
    std::printf("%s\n", node->description != nullptr ? node->description : "");
  }
  mem_free(nodes);
}

} // namespace

void arg_message(const char *description) {
  add_node(ARG_BLANK, '\0', description, nullptr, nullptr, nullptr);
}

void arg_boolean(char key, const char *description, int *intvalue) {
  add_node(ARG_BOOLEAN, key, description, intvalue, nullptr, nullptr);
}

void arg_numeric(char key, const char *description, uint32_t *unsignedvalue) {
  add_node(ARG_NUMERIC, key, description, nullptr, unsignedvalue, nullptr);
}

void arg_string(char key, const char *description, const char **str) {
  add_node(ARG_STRING, key, description, nullptr, nullptr, str);
}

char **arg_process(int argc, char *argv[]) {
  // One slot per argument after the program name, plus the terminating null pointer; at least
  // one slot even for an empty vector.
  uint32_t slots = argc > 1 ? static_cast<uint32_t>(argc) : 1;
  auto *plain = static_cast<char **>(mem_calloc(slots, sizeof(char *)));
  uint32_t filled = 0;
  for (int i = 1; i < argc; ++i) {
    char *argument = argv[i];
    if (argument[0] != '-') {
      plain[filled++] = argument;
      continue;
    }
    const arg_data *node = base;
    while (node != nullptr && node->key != argument[1])
      node = node->next;
    if (node == nullptr) arg_help("unknown command line argument");
    // The letter is not NUL here unless a blank declaration matched, which takes no value.
    const char *value = argument[1] == '\0' ? argument + 1 : argument + 2;
    switch (node->kind) {
    case ARG_BOOLEAN:
      *node->intvalue ^= 1;
      break;
    case ARG_NUMERIC:
      parse_unsigned(value, node->unsignedvalue);
      break;
    case ARG_STRING:
      *node->str = value;
      break;
    case ARG_BLANK:
      break;
    }
  }
  return plain;
}

void arg_help(const char *reason) {
  std::printf("\n\nFatal - %s\n\n", reason != nullptr ? reason : "");
  arg_print();
  std::exit(1);
}
