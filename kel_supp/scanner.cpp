// scanner: turns the characters of the text module into tokens. Identifiers, numbers, line ends
// and the end of input are built in; every other token comes from the keyword table, where a
// keyword's extended kind makes the scanner read a string, a character or a comment after it.
//
// Token texts are appended to the text buffer from text_top and given back by moving text_top,
// so no token costs an allocation.
#include "scanner.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "scan.h"
#include "set.h"
#include "textio.h"

namespace {

// Character classes of the C locale. Bytes 128 to 255 belong to none of them, so they never
// start or continue an identifier or a number and are never white space.
enum char_class : unsigned char {
  C_LETTER = 1,
  C_DIGIT = 2,
  C_HEX = 4,
  C_SPACE = 8,
  C_PRINT = 16,
  C_UPPER = 32,

  C_WORD = 64, // continues an identifier: a letter, a digit or "_"
};

// Indexed by character + 1, so the end of input (-1) has the entry 0, of no class.
constexpr std::array<unsigned char, 257> make_classes() {
  std::array<unsigned char, 257> classes{};
  for (int c = 'a'; c <= 'z'; ++c)
    classes[c + 1] |= C_LETTER | C_WORD;
  for (int c = 'A'; c <= 'Z'; ++c)
    classes[c + 1] |= C_LETTER | C_UPPER | C_WORD;
  for (int c = '0'; c <= '9'; ++c)
    classes[c + 1] |= C_DIGIT | C_HEX | C_WORD;
  for (int c = 'a'; c <= 'f'; ++c)
    classes[c + 1] |= C_HEX;
  for (int c = 'A'; c <= 'F'; ++c)
    classes[c + 1] |= C_HEX;
  for (int c : {' ', '\t', '\n', '\v', '\f', '\r'})
    classes[c + 1] |= C_SPACE;
  for (int c = 0x20; c < 0x7F; ++c)
    classes[c + 1] |= C_PRINT;
  classes['_' + 1] |= C_WORD;
  return classes;
}

constexpr std::array<unsigned char, 257> classes = make_classes();

// For each byte: the byte itself if it continues an identifier, else 0; with `fold`, upper-case
// letters as lower case. One load then both tests a character and gives what is stored.
constexpr std::array<unsigned char, 256> make_word_bytes(bool fold) {
  std::array<unsigned char, 256> bytes{};
  for (int c = 0; c < 256; ++c)
    if ((classes[c + 1] & C_WORD) != 0)
      bytes[c] =
          static_cast<unsigned char>(fold && (classes[c + 1] & C_UPPER) != 0 ? c + ('a' - 'A') : c);
  return bytes;
}

constexpr std::array<unsigned char, 256> word_bytes = make_word_bytes(false);
constexpr std::array<unsigned char, 256> folded_word_bytes = make_word_bytes(true);

// True when c (a character 0..255, or -1 at the end of input) is in one of the classes.
inline bool is(int c, unsigned char wanted) {
  return (classes[static_cast<unsigned>(c + 1)] & wanted) != 0;
}

// What a token that begins with a character (0..255, or -1 at the end of input) is.
enum token_start : unsigned char { S_KEYWORD, S_IDENTIFIER, S_NUMBER, S_END, S_LINE_END };

constexpr std::array<unsigned char, 257> make_starts() {
  std::array<unsigned char, 257> starts{};
  for (int c = -1; c < 256; ++c) {
    const unsigned char cls = classes[static_cast<unsigned>(c + 1)];
    starts[static_cast<unsigned>(c + 1)] = c == -1                             ? S_END
                                           : c == '\n'                         ? S_LINE_END
                                           : c == '_' || (cls & C_LETTER) != 0 ? S_IDENTIFIER
                                           : (cls & C_DIGIT) != 0              ? S_NUMBER
                                                                               : S_KEYWORD;
  }
  return starts;
}

constexpr std::array<unsigned char, 257> starts = make_starts();

// The texts of the two built-in tokens that keep nothing in the buffer.
char eoln_text[] = "EOLN";
char eof_text[] = "EOF";

inline void append(int c) {
  text_insert_char(static_cast<char>(c));
}

// The keyword spelled by the text from `text` up to text_top, or null.
inline const scan_data *lookup(const char *text) {
  return scan_find_keyword(text, static_cast<uint32_t>(text_top - text));
}

// The second text of a keyword is stored right after the NUL of its own text.
inline const char *second_text(const char *keyword) {
  return keyword + std::strlen(keyword) + 1;
}

// Consumes the current character of a string, character or comment. Returns false when that
// ended an included file: the text module has then restored the including file's position and
// its saved token record. A file ends only after the extra space that closes every stored line,
// so only a space needs the check.
inline bool advance(unsigned long closed) {
  const bool space = text_char == ' ';
  text_get_char();
  return !(space && text_closed_files() != closed);
}

// Consumes a line end inside a token together with the extra space that the text module stores
// after it: that space stands for no source character, so the token goes on with the first
// character of the next line.
inline bool advance_line_end(unsigned long closed) {
  text_get_char();
  return text_char != ' ' || advance(closed);
}

// Writes a whole token record of a built-in token: no extended kind, a zero value.
inline void set_token(scan_data *token, int number, char *id) {
  token->id = id;
  token->token = number;
  token->extended = 0;
  std::memset(&token->data, 0, sizeof token->data);
}

// Copies a keyword's record into the token record field by field: the token number, which the
// parser reads at once, then comes from a store of its own size, which the processor passes on
// to that read directly (a wider store covering it may have to reach the cache first).
inline void copy_keyword(scan_data *token, const scan_data *keyword) {
  token->id = keyword->id;
  token->extended = keyword->extended;
  token->data = keyword->data;
  __asm__("" ::: "memory");
  token->token = keyword->token;
}

// What a reader has put into the token record, taken from where it came from rather than read
// back from the record just written, which the processor would have to wait for.
struct token_kind {
  int token;
  int extended;
};

// Copies the identifier that begins with c, the character at `current`, from the stored line to
// `out`, in lower case when the scanner folds case, with room for all of the line's rest: only
// the class test remains, since the line's closing space ends the identifier at the latest.
// Returns its bytes packed for the keyword look-up as they are copied (which counts for eight
// bytes at most); `current`, `out` and `c` are left after the identifier.
inline uint64_t copy_identifier(const char *&current, char *&out, int &c) {
  uint64_t word = 0;
  const unsigned char *const stored =
      scan_case_insensitive != 0 ? folded_word_bytes.data() : word_bytes.data();
  for (unsigned char b; (b = stored[c]) != 0; c = static_cast<unsigned char>(*--current)) {
    *out++ = static_cast<char>(b);
    word = scan_pack_word(word, b);
  }
  return word;
}

// identifier ::= ( letter | "_" ) { letter | digit | "_" }, then one lookup in the keyword table.
// The characters are copied straight from the stored line: a line ends with its line end and
// a space, neither of which continues an identifier, so the identifier's next character is
// always inside the line, and only the space check of text_insert_char remains.
token_kind read_identifier(scan_data *token, char *start) {
  char *id = text_top;
  char *out = text_top;
  const char *current = text_current;
  const char *const line_end = text_last_char;
  const unsigned char *const stored =
      scan_case_insensitive != 0 ? folded_word_bytes.data() : word_bytes.data();
  int c = text_char;
  for (unsigned char b; (b = stored[c]) != 0 && current > line_end;
       c = static_cast<unsigned char>(*--current)) {
    if (out >= line_end) text_out_of_space();
    *out++ = static_cast<char>(b);
  }
  text_top = out;
  text_current = const_cast<char *>(current);
  text_char = c;
  // The general path, should an identifier ever reach the end of the stored line.
  for (unsigned char b; c >= 0 && (b = stored[c]) != 0; c = text_char) { // -1: end of input
    append(b);
    text_get_char();
  }
  const scan_data *keyword = lookup(id);
  append('\0');
  if (keyword != nullptr) {
    copy_keyword(token, keyword);
    text_top = start; // the keyword's own text stands in for the identifier's
    return {keyword->token, keyword->extended};
  }
  set_token(token, SCAN_P_ID, id);
  return {SCAN_P_ID, 0};
}

// Adds one digit to a value that saturates at 2^32 and so never overflows 64 bits.
inline uint64_t accumulate(uint64_t value, unsigned base, unsigned digit) {
  value = value * base + digit;
  return value > UINT32_MAX ? uint64_t{UINT32_MAX} + 1 : value;
}

inline unsigned digit_value(int c) {
  return is(c, C_DIGIT) ? static_cast<unsigned>(c - '0')
                        : static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

// number ::= digits [ "." digits ] [ ( "e" | "E" ) [ "+" | "-" ] digits ] { letter }
//          | "0" ( "x" | "X" ) hexdigits { letter }
// Underscores between digits are dropped; a leading zero never means octal.
// Returns the token number: an integer or a real.
int read_number(scan_data *token) {
  char *id = text_top;
  set_token(token, SCAN_P_INTEGER, id);
  bool hex = false;
  uint64_t value = 0;
  int c = text_char;
  if (c == '0') {
    append(c);
    text_get_char();
    c = text_char;
    if (c == 'x' || c == 'X') {
      hex = true;
      append(c);
      text_get_char();
      c = text_char;
    }
  }
  const unsigned char digits = hex ? C_HEX : C_DIGIT;
  const unsigned base = hex ? 16 : 10;
  // Digits within the stored line are copied straight from it, as in read_identifier.
  {
    char *out = text_top;
    const char *current = text_current;
    const char *const line_end = text_last_char;
    for (; (c == '_' || is(c, digits)) && current > line_end;
         c = static_cast<unsigned char>(*--current)) {
      if (c == '_') continue;
      if (out >= line_end) text_out_of_space();
      *out++ = static_cast<char>(c);
      value = accumulate(value, base, digit_value(c));
    }
    text_top = out;
    text_current = const_cast<char *>(current);
    text_char = c;
  }
  for (; c == '_' || is(c, digits); c = text_char) {
    if (c != '_') {
      append(c);
      value = accumulate(value, base, digit_value(c));
    }
    text_get_char();
  }
  if (!hex) {
    // The character after "." is peeked at without consuming it, so "1." stays the integer 1
    // followed by the token "."; a "." is always a real character of the current line, so the
    // byte after it is still inside that line.
    if (c == '.' && is(static_cast<unsigned char>(text_current[-1]), C_DIGIT)) {
      token->token = SCAN_P_REAL;
      do {
        append(c);
        text_get_char();
        c = text_char;
      } while (is(c, C_DIGIT));
    }
    if (c == 'e' || c == 'E') {
      token->token = SCAN_P_REAL;
      append(c);
      text_get_char();
      c = text_char;
      if (c == '+' || c == '-') {
        append(c);
        text_get_char();
        c = text_char;
      }
      for (; is(c, C_DIGIT); c = text_char) {
        append(c);
        text_get_char();
      }
    }
  }
  // A suffix such as the "h" of 10h belongs to the number's text.
  for (; is(c, C_LETTER); c = text_char) {
    append(c);
    text_get_char();
  }
  append('\0');
  token->id = id;
  if (token->token == SCAN_P_INTEGER)
    token->data.u = value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
  else
    token->data.r = std::strtod(id, nullptr);
  return token->token;
}

// The longest chain of keywords that each extend the previous one by a character. The table
// holds every proper beginning of such a keyword, so the chain breaks only past the longest
// match, and the character that broke it starts the next token. The chain is followed through
// the keyword trie; each character still takes room in the text buffer while the chain grows, as
// a copy of the text would, so the buffer runs out exactly where such a copy would.
token_kind read_keyword(scan_data *token) {
  char *const t = text_top;
  const int first = text_char;
  uint32_t node = 0; // the node of the longest keyword so far; 0 for none
  // A NUL is never part of a spelling (spellings are NUL-terminated) and -1 is no character.
  for (int c = first; c > 0; c = text_char) {
    if (text_top >= text_last_char) text_out_of_space();
    ++text_top; // the room the character takes, unwritten
    const uint16_t edge = scan_trie_step(node, c);
    if ((edge & SCAN_TRIE_KEYWORD) == 0) break;
    node = edge & SCAN_TRIE_NODE;
    text_get_char();
  }
  text_top = t;
  // The root spells the empty text, which is no keyword.
  if (const scan_data *found = scan_trie == nullptr ? nullptr : scan_trie_keywords[node];
      found != nullptr) {
    copy_keyword(token, found);
    return {found->token, found->extended};
  }
  text_message(TEXT_ERROR_ECHO, "Unexpected character 0x%.2X '%c' in source file\n",
               static_cast<unsigned>(first), is(first, C_PRINT) ? first : ' ');
  text_get_char(); // skipped; the token stays 0 and scanning goes on
  return {0, 0};
}

constexpr std::array<char, 128> make_letter_escapes() {
  std::array<char, 128> codes{};
  codes['a'] = '\a';
  codes['b'] = '\b';
  codes['f'] = '\f';
  codes['n'] = '\n';
  codes['r'] = '\r';
  codes['t'] = '\t';
  codes['v'] = '\v';
  return codes;
}

constexpr std::array<char, 128> letter_escapes = make_letter_escapes();

void warn_overflow(bool octal) {
  text_message(TEXT_WARNING_ECHO, octal ? "Octal escape sequence overflows eight bits: wrapping\n"
                                        : "Hex escape sequence overflows eight bits: wrapping\n");
}

// Decodes the escape sequence whose first character (after the escape character) is current
// and appends the byte it stands for. Returns false when an included file ended.
bool read_escape(unsigned long closed) {
  int c = text_char;
  if (c == -1) return true; // nothing to decode; the caller reports the open string
  if (c >= '0' && c <= '7') {
    uint32_t value = 0;
    bool overflow = false;
    for (; c >= '0' && c <= '7'; c = text_char) {
      value = value * 8 + static_cast<uint32_t>(c - '0'); // wraps; the low 8 bits stay exact
      overflow = overflow || value > 255;
      text_get_char();
    }
    if (overflow) warn_overflow(true);
    append(static_cast<int>(value & 0xFF));
    return true;
  }
  if (c == 'x' || c == 'X') {
    text_get_char();
    uint32_t value = 0;
    bool overflow = false;
    for (c = text_char; is(c, C_HEX); c = text_char) {
      value = value * 16 + digit_value(c);
      overflow = overflow || value > 255;
      text_get_char();
    }
    if (overflow) warn_overflow(false);
    append(static_cast<int>(value & 0xFF));
    return true;
  }
  if (c == '\n') {
    append(c);
    return advance_line_end(closed); // the string goes on with the next line
  }
  // A letter escape stands for its control code; any other character, such as the escape
  // character or the delimiter, for itself.
  const char code = static_cast<unsigned>(c) < letter_escapes.size() ? letter_escapes[c] : 0;
  append(code != 0 ? code : c);
  return advance(closed);
}

void unterminated_string() {
  text_message(TEXT_ERROR_ECHO, "Unterminated string\n");
}

// The characters of a string up to the delimiter d. With an escape character e, e starts an
// escape sequence; without one (e == -1), a doubled d stands for one d. A line end or the end of
// input ends an unterminated string, and the line end is consumed. Returns false when an
// included file ended inside the string.
bool read_string(int d, int e, unsigned long closed) {
  for (int c = text_char;; c = text_char) {
    if (c == d) {
      if (!advance(closed)) return false;
      if (e != -1 || text_char != d) return true;
      append(d);
    } else if (c == '\n' || c == -1) {
      unterminated_string();
      return advance(closed);
    } else if (c == e) {
      if (!advance(closed) || !read_escape(closed)) return false;
      continue;
    } else {
      append(c);
    }
    if (!advance(closed)) return false;
  }
}

// One character, or with an escape character e an escape sequence. A line end or the end of
// input is not taken: the token then has an empty text.
bool read_character(int e, unsigned long closed) {
  const int c = text_char;
  if (c == '\n' || c == -1) return true;
  if (c == e) return advance(closed) && read_escape(closed);
  append(c);
  return advance(closed);
}

// The rest of the line, up to but not including the line end. Only a visible comment keeps it.
bool read_line_comment(bool keep, unsigned long closed) {
  // A skipped comment ends at the stored line's line end, just above its closing space: the
  // characters before it are passed over at once. (Within a line, only a line's closing space
  // can end an included file, so nothing else happens on the way.)
  if (!keep && text_char != '\n' && text_char != -1 && text_current > text_last_char + 1 &&
      text_last_char[1] == '\n') {
    text_current = text_last_char + 1;
    text_char = '\n';
    return true;
  }
  for (int c = text_char; c != '\n' && c != -1; c = text_char) {
    if (keep) append(c);
    if (!advance(closed)) return false;
  }
  return true;
}

void comment_runs_past_end() {
  text_message(TEXT_FATAL_ECHO, "Comment terminated by end of file\n");
}

// A text of one or two characters matched against the characters read so far.
struct delimiter {
  int first;
  int second; // -1 for a one-character text
  int length; // 0 for an empty text, which never matches
};

delimiter delimiter_of(const char *text) {
  const auto c0 = static_cast<unsigned char>(text[0]);
  const auto c1 = c0 != 0 ? static_cast<unsigned char>(text[1]) : 0;
  if (c0 == 0) return {-1, -1, 0};
  if (c1 == 0) return {c0, -1, 1};
  return {c0, c1, 2};
}

inline bool ends_with(const delimiter &text, int previous, int c) {
  if (text.length == 1) return c == text.first;
  return text.length == 2 && previous == text.first && c == text.second;
}

// Characters up to the closing text; a nesting comment also counts further opening texts. The
// end of input, or of an included file, inside the comment is fatal. A kept comment's text
// excludes the final closing text.
bool read_block_comment(const char *open_text, bool nest, bool keep, unsigned long closed) {
  const delimiter open = delimiter_of(open_text);
  const delimiter close = delimiter_of(second_text(open_text));
  unsigned long depth = 1;
  int previous = -1; // the character before the current one, or -1 just after a delimiter
  for (int c = text_char;; c = text_char) {
    if (c == -1) comment_runs_past_end();
    if (ends_with(close, previous, c)) {
      if (--depth == 0) {
        if (keep && close.length == 2) --text_top; // its first character was kept
        return advance(closed);
      }
      previous = -1;
    } else if (nest && ends_with(open, previous, c)) {
      ++depth;
      previous = -1;
    } else {
      previous = c;
    }
    if (keep) append(c);
    if (!(c == '\n' ? advance_line_end(closed) : advance(closed))) comment_runs_past_end();
  }
}

// Reads what a keyword with an extended kind introduces. The token keeps the keyword's number
// and gets the text read as its text, or becomes 0 (nothing) for a skipped comment. Returns false
// when an included file ended first; the token record then holds the one the text module
// restored, and the text read so far is given back.
bool read_continuation(scan_data *token, char *start) {
  const unsigned long closed = text_closed_files();
  const char *keyword = token->id;
  const int d = static_cast<unsigned char>(keyword[0]);
  bool kept = true;
  bool complete = true;
  switch (token->extended) {
  case SCAN_P_STRING_ESC:
    complete = read_string(d, static_cast<unsigned char>(second_text(keyword)[0]), closed);
    if (!complete) unterminated_string();
    break;
  case SCAN_P_STRING:
    complete = read_string(d, -1, closed);
    if (!complete) unterminated_string();
    break;
  case SCAN_P_CHAR:
    complete = read_character(-1, closed);
    break;
  case SCAN_P_CHAR_ESC:
    complete = read_character(static_cast<unsigned char>(second_text(keyword)[0]), closed);
    break;
  case SCAN_P_COMMENT_LINE:
  case SCAN_P_COMMENT_LINE_VISIBLE:
    kept = token->extended == SCAN_P_COMMENT_LINE_VISIBLE;
    complete = read_line_comment(kept, closed);
    break;
  case SCAN_P_COMMENT:
  case SCAN_P_COMMENT_VISIBLE:
    kept = token->extended == SCAN_P_COMMENT_VISIBLE;
    complete = read_block_comment(keyword, false, kept, closed);
    break;
  case SCAN_P_COMMENT_NEST:
  case SCAN_P_COMMENT_NEST_VISIBLE:
    kept = token->extended == SCAN_P_COMMENT_NEST_VISIBLE;
    complete = read_block_comment(keyword, true, kept, closed);
    break;
  default:
    return true; // not a kind that reads on
  }
  if (!complete || !kept) {
    text_top = start;
    if (complete) token->token = 0;
    return complete;
  }
  // A character token also carries its character as its value.
  if ((token->extended == SCAN_P_CHAR || token->extended == SCAN_P_CHAR_ESC) && text_top > start)
    token->data.u = static_cast<unsigned char>(*start);
  append('\0');
  token->id = start;
  return true;
}

// Passes over the run of spaces that begins at `current` (a space of the stored line, above its
// closing space) and returns the first other character, or the closing space; `current` then
// points at it. Most runs are one space, after a comma, or the few of an expanded tab; longer
// runs are passed over eight at a time.
inline int pass_spaces(const char *&current, const char *const line_end) {
  int c = static_cast<unsigned char>(*--current);
  if constexpr (std::endian::native == std::endian::little) {
    // The eight bytes below `current` are the next eight characters, the nearest one in the
    // word's most significant byte.
    while (c == ' ' && current - line_end >= 8) {
      uint64_t word;
      std::memcpy(&word, current - 8, sizeof word);
      const uint64_t other = word ^ 0x2020202020202020u; // zero bytes are spaces
      if (other == 0) {
        current -= 8;
        continue;
      }
      current -= std::countl_zero(other) / 8 + 1;
      c = static_cast<unsigned char>(*current);
    }
  }
  while (c == ' ' && current > line_end)
    c = static_cast<unsigned char>(*--current);
  return c;
}

// Skips white space; a newline is a token of its own when line ends are visible.
// Blanks within the stored line are passed over without going through text_get_char; the line's
// end, and what follows it, is left to text_get_char.
inline void skip_white_space() {
  for (int c = text_char;; c = text_char) {
    // Spaces within the stored line.
    if (c == ' ' && text_current > text_last_char) {
      const char *current = text_current;
      c = pass_spaces(current, text_last_char);
      text_current = const_cast<char *>(current);
      text_char = c;
    }
    if (c != '\n' ? !is(c, C_SPACE) : scan_newline_visible) return;
    // Other white space, the end of the stored line, and line ends that are no tokens: the line's
    // own characters directly, then the next character through the text module.
    const char *current = text_current;
    const char *const line_end = text_last_char;
    while (c != '\n' && c != ' ' && is(c, C_SPACE) && current > line_end)
      c = static_cast<unsigned char>(*--current);
    text_current = const_cast<char *>(current);
    text_char = c;
    if (c == ' ' && current > line_end) continue; // a run of spaces again
    if (c != '\n' ? is(c, C_SPACE) : !scan_newline_visible) text_get_char();
  }
}

// Every token, from wherever the text stands.
[[gnu::noinline]] void scan_general() {
  scan_data *const token = text_scan_data;
  char *const start = text_top;
  token_kind kind;
  do {
    token->token = 0; // the other fields are written with the token
    skip_white_space();
    // An included file that ended during the skip has put back the token that was current when
    // it was opened (the line end of the including line); that token is the result.
    if (token->token != 0) break;

    const int c = text_char;
    switch (starts[static_cast<unsigned>(c + 1)]) {
    case S_IDENTIFIER:
      kind = read_identifier(token, start);
      break;
    case S_NUMBER:
      kind = {read_number(token), 0};
      break;
    case S_END:
      set_token(token, SCAN_P_EOF, eof_text);
      text_top = start;
      kind = {SCAN_P_EOF, 0};
      break;
    case S_LINE_END:
      text_top = start;
      set_token(token, SCAN_P_EOLN, eoln_text);
      // Delivers the line's extra space; the next line is read, and this one echoed, only when
      // the next token is asked for.
      text_get_char();
      kind = {SCAN_P_EOLN, 0};
      break;
    default:
      kind = read_keyword(token);
      break;
    }
    if (kind.extended != 0) {
      if (!read_continuation(token, start)) break;
      kind.token = token->token; // 0 for a skipped comment
    }
  } while (kind.token == 0);

  if (scan_symbol_echo) {
    text_message(TEXT_INFO, "Scanned ");
    set_print_element(static_cast<uint32_t>(token->token), scan_token_names);
    text_printf(" id '%s'\n", token->id != nullptr ? token->id : "");
  }
}

// An identifier inside the stored line, at `current`, as read_identifier reads it: the text is
// written into the free space and kept only for an identifier that is no keyword. Out of line,
// so that only identifiers pay for the registers this takes.
[[gnu::noinline]] void scan_identifier(const char *current, const char *const line_end, int c) {
  char *const id = text_top;
  if (id + (current - line_end) >= line_end) return scan_general();
  char *out = id;
  const uint64_t word = copy_identifier(current, out, c);
  if (out - id > 8) return scan_general(); // looked up by its text
  const scan_data *keyword = scan_find_word_keyword(word);
  if (keyword == nullptr) {
    *out = '\0';
    set_token(text_scan_data, SCAN_P_ID, id);
    text_top = out + 1;
  } else if (keyword->token != 0 && keyword->extended == 0) {
    copy_keyword(text_scan_data, keyword);
  } else {
    return scan_general();
  }
  text_current = const_cast<char *>(current);
  text_char = c;
}

// A number inside the stored line, at `current`, as read_number reads it, when it is plain: at
// most nine decimal digits, or "0x" and at most eight hexadecimal ones, followed by no further
// digit, "_", "." or letter (which read_number may take into the number). Its value then needs
// no saturation. Any other number goes to the general scanner.
[[gnu::noinline]] void scan_number(const char *current, const char *const line_end, int c) {
  char *const id = text_top;
  if (id + (current - line_end) >= line_end) return scan_general();
  char *out = id;
  uint32_t value = 0;
  int d = c;
  if (c == '0' && (static_cast<unsigned char>(current[-1]) | 0x20) == 'x') {
    *out++ = '0';
    *out++ = current[-1];
    current -= 2;
    d = static_cast<unsigned char>(*current);
    const char *const first = current;
    for (; is(d, C_HEX) && first - current < 8; d = static_cast<unsigned char>(*--current)) {
      *out++ = static_cast<char>(d);
      value = value * 16 + digit_value(d);
    }
    if (current == first) return scan_general(); // "0x" without digits
  } else {
    const char *const first = current;
    for (; is(d, C_DIGIT) && first - current < 9; d = static_cast<unsigned char>(*--current)) {
      *out++ = static_cast<char>(d);
      value = value * 10 + static_cast<uint32_t>(d - '0');
    }
  }
  if (d == '_' || d == '.' || is(d, C_LETTER | C_DIGIT)) return scan_general();
  *out = '\0';
  set_token(text_scan_data, SCAN_P_INTEGER, id);
  text_scan_data->data.u = value;
  text_top = out + 1;
  text_current = const_cast<char *>(current);
  text_char = d;
}

} // namespace

// Keyword chains, identifiers, plain numbers, skipped line comments and visible line ends inside
// the stored line, nearly all the tokens of a program, are read here without the general
// scanner's set-up, exactly as the general scanner reads them: only when the free space holds
// all the rest of the line, so that none of its checks of the free space could fail. Nothing is
// written until the token is known, so every other case goes to the general scanner from the
// same place.
void scan_() {
  if (scan_trie_ends_in_line && scan_symbol_echo == 0) {
    const char *current = text_current;
    const char *line_end = text_last_char;
    int c = text_char;
    if (c == ' ' && current == line_end) {
      // The line's closing space: the next line is read, as skip_white_space reads it. An
      // included file that ends puts back the token that was current when it was opened, which
      // is then the result.
      text_scan_data->token = 0;
      text_next_line();
      if (text_scan_data->token != 0) return;
      current = text_current;
      line_end = text_last_char;
      c = text_char;
    }
    if (c == ' ' && current > line_end) c = pass_spaces(current, line_end);
    if (current > line_end) { // c is a character of the line, not its closing space
      if (c == '\n') {
        if (scan_newline_visible) {
          set_token(text_scan_data, SCAN_P_EOLN, eoln_text);
          text_current = const_cast<char *>(current - 1);
          text_char = static_cast<unsigned char>(current[-1]); // the line's closing space
          return;
        }
      } else if (starts[static_cast<unsigned>(c + 1)] == S_KEYWORD &&
                 text_top + (current - line_end) + 1 < line_end) {
        const scan_data *keyword = scan_trie_leaves[c];
        const char *next = current - 1;
        if (keyword == nullptr) {
          uint32_t node = 0;
          next = current;
          for (int d = c;;) {
            const uint16_t edge = scan_trie[node].next[d];
            if ((edge & SCAN_TRIE_KEYWORD) == 0) break;
            node = edge & SCAN_TRIE_NODE;
            d = static_cast<unsigned char>(*--next);
            if ((edge & SCAN_TRIE_ONWARD) == 0) break;
          }
          keyword = scan_trie_keywords[node];
        }
        if (keyword != nullptr && keyword->token != 0 && keyword->extended == 0) {
          copy_keyword(text_scan_data, keyword);
          text_current = const_cast<char *>(next);
          text_char = static_cast<unsigned char>(*next);
          return;
        }
        // A skipped comment to the end of a line that ends with a newline: as read_line_comment
        // passes over it, the token is the line end that follows it.
        if (keyword != nullptr && keyword->extended == SCAN_P_COMMENT_LINE &&
            scan_newline_visible && line_end[1] == '\n') {
          set_token(text_scan_data, SCAN_P_EOLN, eoln_text);
          text_current = const_cast<char *>(line_end);
          text_char = ' '; // the line's closing space
          return;
        }
      } else if (starts[static_cast<unsigned>(c + 1)] == S_IDENTIFIER) {
        return scan_identifier(current, line_end, c);
      } else if (starts[static_cast<unsigned>(c + 1)] == S_NUMBER) {
        return scan_number(current, line_end, c);
      }
    }
  }
  scan_general();
}
