// textio: the text buffer, source files with nested inclusion, line echo with message markers,
// and the message writer with its error accounting.
//
// Buffer layout: token texts grow from text_bot upward to text_top; the current line of every
// open file is stored reversed from the top downward, the innermost file lowest. A stored line is
// its characters (tabs expanded), its line end (a newline, or a space standing for the end of the
// file) and one extra space at last_char. The free space is the gap [text_top, last_char).
#include "textio.h"

#include <bit>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "memalloc.h"

char *text_top;
char *text_current;
char *text_last_char; // the current line's extra space, its lowest byte
int text_char = ' ';
scan_data *text_scan_data;

namespace {

// Source bytes come through a block of this size rather than one library call per byte.
constexpr uint32_t block_size = 64 * 1024;

// The unread bytes of one open source file: a block refilled from its stream, or, for standard
// input, a view of the whole input kept in memory.
struct source_reader {
  FILE *stream;              // stream the block is refilled from; null for standard input
  unsigned char *block;      // the file's block buffer; null for standard input
  bool own_block;            // the block was allocated for an included file and is freed with it
  const unsigned char *next; // next unread byte
  const unsigned char *end;  // one past the last unread byte
  bool drained;              // nothing remains beyond `end`
  bool at_end;               // the last line stored ended at the end of the file
};

// An including file, saved while the file it included is read.
struct source_list {
  const char *name;
  uint32_t errors;
  FILE *file;
  char *first_char;
  char *last_char;
  unsigned long linenumber;
  int text_char;
  char *text_current;
  scan_data text_scan_data;
  char *symbol_first_char;
  uint32_t warnings;
  source_list *previous;
  source_reader reader;
};

char *text_bot;
uint32_t maxtext;
uint32_t tabwidth;
char *first_char; // one byte above the current line's first character
FILE *file;       // the current source file; null when none is open
const char *name;
unsigned long linenumber;
source_list *source_descriptor_list;
int echo;
int echo_num = -1; // index of the last marker recorded on the current line
int echo_pos[9];   // column of each recorded marker
char *symbol_first_char;
unsigned long closed_files;
source_reader reader;

// The outermost file's block; included files get blocks of their own.
unsigned char outer_block[block_size];

// Standard input, read once and replayed from the start by every later opening.
unsigned char *stdin_bytes;
uint32_t stdin_length;
bool stdin_loaded;

uint32_t maxerrors;
uint32_t maxwarnings;
uint32_t errors;
uint32_t warnings;
uint32_t totalerrors;
uint32_t totalwarnings;

// Messages, echoes and reports all go to standard output, in the order written.
FILE *messages() {
  return stdout;
}

// Reads the next block of `r`'s stream. Returns the number of bytes read, or -1 on a read error.
long read_block(source_reader &r) {
  size_t n = std::fread(r.block, 1, block_size, r.stream);
  if (n < block_size) {
    if (std::ferror(r.stream)) return -1;
    r.drained = true;
  }
  r.next = r.block;
  r.end = r.block + n;
  return static_cast<long>(n);
}

// Makes more bytes of the current file available; false at its end.
bool refill() {
  if (reader.drained) return false;
  long n = read_block(reader);
  if (n < 0) text_message(TEXT_FATAL, "Error reading source file\n");
  return n > 0;
}

// Reads all of standard input into memory the first time; false if it cannot be read.
bool load_stdin() {
  if (stdin_loaded) return true;
  uint32_t capacity = block_size;
  unsigned char *bytes = static_cast<unsigned char *>(mem_malloc(capacity));
  uint32_t length = 0;
  for (;;) {
    length += static_cast<uint32_t>(std::fread(bytes + length, 1, capacity - length, stdin));
    if (length < capacity) break;
    if (capacity > UINT32_MAX / 2) text_message(TEXT_FATAL, "insufficient memory for realloc\n");
    capacity *= 2;
    bytes = static_cast<unsigned char *>(mem_realloc(bytes, capacity));
  }
  if (std::ferror(stdin)) {
    mem_free(bytes);
    return false;
  }
  stdin_bytes = bytes;
  stdin_length = length;
  stdin_loaded = true;
  return true;
}

// Ends the current file. Returns true when it returned to an including file, whose character
// current at the inclusion is then current again.
bool text_close() {
  if (file == nullptr) return false;
  linenumber = 0;
  // Standard input stays open: its bytes are kept for the next opening.
  if (file != stdin) std::fclose(file);
  if (reader.own_block) mem_free(reader.block);
  file = nullptr;
  reader = source_reader{};

  source_list *saved = source_descriptor_list;
  if (saved == nullptr) return false;
  source_descriptor_list = saved->previous;
  errors = saved->errors;
  file = saved->file;
  first_char = saved->first_char;
  text_last_char = saved->last_char;
  linenumber = saved->linenumber;
  name = saved->name;
  text_char = saved->text_char;
  text_current = saved->text_current;
  if (text_scan_data != nullptr) *text_scan_data = saved->text_scan_data;
  symbol_first_char = saved->symbol_first_char;
  warnings = saved->warnings;
  reader = saved->reader;
  mem_free(saved);
  ++closed_files;
  if (echo) {
    text_message(TEXT_INFO, "\n");
    text_echo_line();
  }
  return true;
}

// How many of the eight bytes of `word`, in memory order, come before the first one that may be
// a tab or a line end: a byte from 0x08 to 0x0B (8 when there is none). The two other bytes of
// that range are rare and are then stored as they are.
inline size_t bytes_before_control(uint64_t word) {
  constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7Fu;
  const uint64_t x = (word & 0xFCFCFCFCFCFCFCFCu) ^ 0x0808080808080808u; // such bytes become 0
  const uint64_t found = ~(((x & low7) + low7) | x | low7); // the top bit of each zero byte
  if (found == 0) return 8;
  if constexpr (std::endian::native == std::endian::little)
    return static_cast<size_t>(std::countr_zero(found)) / 8;
  else
    return static_cast<size_t>(std::countl_zero(found)) / 8;
}

// Stores the current file's next line, reversed, below first_char. Every byte is checked
// against the free space before it is stored.
void read_line() {
  if ((echo || echo_num >= 0) && linenumber != 0) text_echo_line();
  ++linenumber;
  text_current = text_last_char = first_char;

  // Locals, so the byte stores below cannot force reloads of module state.
  char *const floor = text_top;
  const uint32_t tab = tabwidth;
  char *low = first_char;
  const unsigned char *next = reader.next;
  const unsigned char *end = reader.end;
  auto store = [&](char c) {
    if (low <= floor) text_out_of_space();
    *--low = c;
  };

  // The usual case: eight bytes can be read from the block and the free space holds what they
  // can become, so no byte needs the space check. The bytes up to the next tab or line end are
  // stored reversed as one word (the word's bytes past them land below `low` and are overwritten
  // or left unused), and a tab of at most eight columns as one word of spaces. The rest of the
  // line, from where this stops, is left to the careful loop below.
  // One step stores at most seven bytes and a tab, or a word; eight bytes more are kept free.
  const size_t widest = (tab > 8 ? tab : 8) + 8;
  const bool expand = tab != 0;
  const bool tab_power_of_two = (tab & (tab - 1)) == 0;
  constexpr uint64_t spaces = 0x2020202020202020u;
  // The bounds of the loop are worked out once, when the block and the free space are large
  // enough to form them.
  const bool room = end - next >= 8 && static_cast<size_t>(low - floor) > widest;
  const unsigned char *const last_word = room ? end - 8 : next;
  char *const lowest = room ? floor + widest : low;
  while (next <= last_word && low > lowest) {
    uint64_t word;
    std::memcpy(&word, next, sizeof word);
    const size_t plain = bytes_before_control(word);
    word = __builtin_bswap64(word);
    std::memcpy(low - sizeof word, &word, sizeof word);
    low -= plain;
    next += plain;
    if (plain == 8) continue;
    const unsigned char c = *next++;
    if (c == '\n') {
      *--low = '\n';
      reader.next = next;
      *--low = ' ';
      text_last_char = low;
      return;
    }
    if (c != '\t' || !expand) {
      *--low = static_cast<char>(c);
      continue;
    }
    // A tab: spaces up to the next multiple of the tab width.
    const auto column = static_cast<size_t>(first_char - low);
    const size_t count = tab - (tab_power_of_two ? column & (tab - 1) : column % tab);
    if (count <= 8)
      std::memcpy(low - 8, &spaces, sizeof spaces);
    else
      std::memset(low - count, ' ', count);
    low -= count;
  }

  for (;;) {
    if (next == end) {
      reader.next = next;
      if (!refill()) {
        // A last line without a line end gets one, and the empty end-of-file line follows.
        if (low == first_char) {
          store(' ');
          reader.at_end = true;
        } else {
          store('\n');
        }
        break;
      }
      next = reader.next;
      end = reader.end;
    }
    const unsigned char c = *next++;
    if (c == '\t' && tab != 0) {
      do
        store(' ');
      while (static_cast<size_t>(first_char - low) % tab != 0);
      continue;
    }
    store(static_cast<char>(c));
    if (c == '\n') break;
  }
  reader.next = next;
  store(' ');
  text_last_char = low;
}

} // namespace

// The slow path of text_get_char: the current line is exhausted.
void text_next_line() {
  if (file != nullptr && reader.at_end && text_close()) return;
  if (file == nullptr) {
    text_char = -1;
    return;
  }
  read_line();
  text_char = static_cast<unsigned char>(*--text_current);
}

void text_init(long max_text, uint32_t max_errors, uint32_t max_warnings, uint32_t tab_width) {
  tabwidth = tab_width;
  maxtext = static_cast<uint32_t>(max_text);
  if (static_cast<long>(maxtext) != max_text)
    text_message(TEXT_WARNING, "-T%lu too large for architecture: recast to -T%u\n",
                 static_cast<unsigned long>(max_text), maxtext);
  maxerrors = max_errors;
  maxwarnings = max_warnings;
  text_bot = static_cast<char *>(mem_malloc(maxtext));
  mem_advise_large(text_bot, maxtext);
  text_top = text_bot;
  first_char = text_last_char = text_current = text_bot + maxtext;
}

FILE *text_open(const char *s) {
  if (s == nullptr) return nullptr;
  FILE *stream = nullptr;
  source_reader fresh{};
  if (s[0] == '-') {
    if (!load_stdin()) return nullptr;
    stream = stdin;
    fresh.next = stdin_bytes;
    fresh.end = stdin_bytes + stdin_length;
    fresh.drained = true;
  } else {
    stream = std::fopen(s, "r");
    if (stream == nullptr) return nullptr;
    fresh.stream = stream;
    fresh.own_block = file != nullptr;
    fresh.block =
        fresh.own_block ? static_cast<unsigned char *>(mem_malloc(block_size)) : outer_block;
    // Reading the first block refuses directories and anything else that cannot be read.
    if (read_block(fresh) < 0) {
      std::fclose(stream);
      if (fresh.own_block) mem_free(fresh.block);
      return nullptr;
    }
  }
  // The new file's lines start one byte below the current line, which must leave room.
  if (text_last_char <= text_top) text_out_of_space();

  if (file != nullptr) {
    auto *saved = static_cast<source_list *>(mem_calloc(1, sizeof(source_list)));
    saved->name = name;
    saved->errors = errors;
    saved->file = file;
    saved->first_char = first_char;
    saved->last_char = text_last_char;
    saved->linenumber = linenumber;
    saved->text_char = text_char;
    saved->text_current = text_current;
    if (text_scan_data != nullptr) saved->text_scan_data = *text_scan_data;
    saved->symbol_first_char = symbol_first_char;
    saved->warnings = warnings;
    saved->previous = source_descriptor_list;
    saved->reader = reader;
    source_descriptor_list = saved;
  }
  errors = 0;
  warnings = 0;
  file = stream;
  reader = fresh;
  linenumber = 0;
  name = s;
  if (echo) text_message(TEXT_INFO, "\n");
  first_char = text_last_char = text_current = text_last_char - 1;
  return stream;
}

void text_echo(int on) {
  echo = on;
}

int text_get_echo() {
  return echo;
}

void text_echo_line() {
  text_echo_line_number();
  // The stored line from its first character down to its line end, without the extra space.
  char chunk[256];
  size_t n = 0;
  for (const char *p = first_char; p - text_last_char > 1;) {
    chunk[n++] = *--p;
    if (n == sizeof chunk) {
      std::fwrite(chunk, 1, n, messages());
      n = 0;
    }
  }
  std::fwrite(chunk, 1, n, messages());

  if (echo_num >= 0) {
    const int markers = echo_num > 8 ? 8 : echo_num;
    text_echo_line_number();
    long position = 1;
    for (int i = 0; i <= markers; ++i) {
      for (; position < echo_pos[i] - 1L; ++position)
        std::fputc('-', messages());
      std::fputc('1' + i, messages());
      ++position;
    }
    std::fputc('\n', messages());
  }
  echo_num = -1;
}

void text_echo_line_number() {
  if (linenumber == 0)
    std::fputs("// ******: ", messages());
  else
    std::fprintf(messages(), "// %6lu: ", linenumber);
}

unsigned long text_line_number() {
  return linenumber;
}

unsigned long text_column_number() {
  return static_cast<unsigned long>(first_char - text_current);
}

void text_out_of_space() {
  text_message(TEXT_FATAL, "Ran out of text space\n");
  std::exit(1); // not reached: a fatal message ends the process
}

char *text_insert_string(const char *s) {
  char *first = text_insert_char(*s);
  while (*s != '\0')
    text_insert_char(*++s);
  return first;
}

char *text_default_filetype(const char *fname, const char *ftype) {
  // The caller's own name comes back when there is no type to add; it is never written through.
  if (*ftype == '\0') return const_cast<char *>(fname);
  const size_t fname_length = std::strlen(fname);
  const size_t size = fname_length + std::strlen(ftype) + 2;
  if (size > UINT32_MAX) text_message(TEXT_FATAL, "insufficient memory for malloc\n");
  char *completed = static_cast<char *>(mem_malloc(static_cast<uint32_t>(size)));
  std::memcpy(completed, fname, fname_length + 1);
  if (std::strchr(completed, '.') == nullptr) {
    completed[fname_length] = '.';
    std::strcpy(completed + fname_length + 1, ftype);
  }
  return completed;
}

unsigned long text_closed_files() {
  return closed_files;
}

int text_message(text_message_type type, const char *fmt, ...) {
  if (fmt == nullptr) return 0;
  if (type >= TEXT_INFO_ECHO && type <= TEXT_FATAL_ECHO) {
    if (echo_num < INT_MAX - 1) ++echo_num;
    if (echo_num <= 8) {
      const unsigned long column = text_column_number();
      echo_pos[echo_num] = column > INT_MAX ? INT_MAX : static_cast<int>(column);
    }
  }
  text_echo_line_number();

  switch (type) {
  case TEXT_INFO:
  case TEXT_INFO_ECHO:
    break;
  case TEXT_WARNING:
  case TEXT_WARNING_ECHO:
    std::fputs("Warning ", messages());
    ++warnings;
    ++totalwarnings;
    break;
  case TEXT_ERROR:
  case TEXT_ERROR_ECHO:
    std::fputs("Error ", messages());
    ++errors;
    ++totalerrors;
    break;
  case TEXT_FATAL:
  case TEXT_FATAL_ECHO:
    std::fputs("Fatal ", messages());
    break;
  default:
    std::fputs("Unknown ", messages());
    break;
  }
  if (type == TEXT_WARNING_ECHO || type == TEXT_ERROR_ECHO)
    std::fprintf(messages(), "%.1i ", echo_num + 1);
  if (name != nullptr && linenumber != 0)
    std::fprintf(messages(), "(%s) ", name);
  else if (type != TEXT_INFO && type != TEXT_INFO_ECHO)
    std::fputs("- ", messages());

  va_list args;
  va_start(args, fmt);
  const int written = std::vfprintf(messages(), fmt, args);
  va_end(args);

  if (type == TEXT_FATAL || type == TEXT_FATAL_ECHO) std::exit(1);
  const char *file_name = name != nullptr ? name : "null file";
  if (maxerrors != 0 && errors > maxerrors) {
    std::fprintf(messages(), "Fatal (%s): too many errors\n", file_name);
    std::exit(1);
  }
  if (maxwarnings != 0 && warnings > maxwarnings) {
    std::fprintf(messages(), "Fatal (%s): too many warnings\n", file_name);
    std::exit(1);
  }
  return written;
}

int text_printf(const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int written = std::vfprintf(messages(), fmt, args);
  va_end(args);
  return written;
}

uint32_t text_total_errors() {
  return totalerrors;
}

int text_print_total_errors() {
  if (totalerrors != 0 || totalwarnings != 0 || echo)
    text_message(TEXT_INFO, "%u error%s and %u warning%s\n", totalerrors,
                 totalerrors == 1 ? "" : "s", totalwarnings, totalwarnings == 1 ? "" : "s");
  return totalerrors != 0 ? 1 : 0;
}
