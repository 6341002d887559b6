// torvane: the driver. Declares the options, sets up the support library and the grammar's
// tables, then runs the source through the start rule three times, once per pass.
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "arg.h"
#include "mips_aux.h"
#include "textio.h"
#include "torvane.h"

namespace {

const char *kel_sourcefilename = nullptr;
int kel_symbol_echo = 0;
int kel_verbose = 0;
int kel_error_return = 0;

// The release's banner; its time stamps are fixed so that output is the same from build to build.
#define KEL_BANNER                                                                                 \
  "torvane v2.0.5a - assembler for mips r2000 Processor\n"                                         \
  "Generated on Jun 23 2004 13:19:27 and compiled on Jun 23 2004 at 13:19:31\n"

} // namespace

int main(int argc, char *argv[]) {
  std::clock_t kel_start_time = std::clock();
  int kel_filter = 0;
  int kel_line_echo = 0;
  int kel_symbol_statistics = 0;
  uint32_t kel_tabwidth = 8;
  uint32_t kel_textsize = 35000;
  const char *kel_vcg_filename = nullptr;

  arg_message(KEL_BANNER "\nUsage: torvane [options] source[.asm]");
  arg_message("");
  arg_boolean('f', "Filter mode (read from stdin and write to stdout)", &kel_filter);
  arg_boolean('l', "Make a listing", &kel_line_echo);
  arg_string('o', "Write output to filename", &kel_outputfilename);
  arg_boolean('s', "Echo each scanner symbol as it is read", &kel_symbol_echo);
  arg_boolean('S', "Print summary symbol table statistics", &kel_symbol_statistics);
  arg_numeric('t', "Tab expansion width (default 8)", &kel_tabwidth);
  arg_numeric('T', "Text buffer size in bytes for scanner (default 20000)", &kel_textsize);
  arg_boolean('v', "Set verbose mode", &kel_verbose);
  arg_string('V', "Write derivation tree to filename in VCG format", &kel_vcg_filename);
  arg_boolean('n', "insert NOP opcodes after each instruction", &autoinsert_nop);
  arg_message("");

  kel_sourcefilename = arg_process(argc, argv)[0];
  (void)kel_vcg_filename; // accepted; no derivation tree is written

  if (kel_filter) kel_sourcefilename = kel_outputfilename = "-";
  if (kel_sourcefilename == nullptr) arg_help("No source file specified");
  kel_sourcefilename = text_default_filetype(kel_sourcefilename, "asm");

  text_init(kel_textsize, 25, 100, kel_tabwidth);
  scan_init(1, 1, 0, kel_symbol_echo, kel_tokens);
  regtable = symbol_new_table("regtable", 51, 31, symbol_compare_string, symbol_hash_string,
                              symbol_print_string);
  torvane = symbol_new_table("torvane", 101, 31, symbol_compare_string, symbol_hash_string,
                             symbol_print_string);
  kel_set_initialise();
  kel_load_keywords();

  if (kel_verbose) text_printf("\n" KEL_BANNER "\n");

  if (kel_is_object_file(kel_sourcefilename))
    text_message(TEXT_FATAL, "Object file '%s' is the source file\n", kel_outputfilename);
  init(kel_outputfilename);

  for (kel_pass = 1; kel_pass <= 3; kel_pass++) {
    text_echo(kel_line_echo && kel_pass == 3);
    if (text_open(kel_sourcefilename) == nullptr) arg_help("unable to open source file");
    text_get_char();
    scan_();
    unit();
    if (uint32_t errors = text_total_errors(); errors != 0)
      text_message(TEXT_FATAL, "error%s detected in source file\n", errors == 1 ? "" : "s");
  }

  if (kel_symbol_statistics) symbol_print_all_table_statistics(11);
  quit(kel_outputfilename);
  text_print_total_errors();
  if (kel_verbose) {
    std::clock_t kel_finish_time = std::clock();
    text_message(TEXT_INFO, "%.3f CPU seconds used\n",
                 static_cast<double>(kel_finish_time - kel_start_time) / CLOCKS_PER_SEC);
  }
  // Messages, the listing and the statistics are products too: a run that could not write them
  // all has not succeeded.
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    text_message(TEXT_FATAL, "Error writing standard output\n");
  return kel_error_return;
}
