// scan: scanner set-up, keyword loading, and the parser's token tests and error recovery.
//
// A syntax error is composed in full before it is issued as one message, so the error limit,
// which the message writer checks right after writing, never cuts a report short: the error
// that crosses the limit is printed whole with its expected tokens, then the limit line follows.
#include "scan.h"

#include <cstdio>
#include <cstring>

#include "memalloc.h"
#include "textio.h"

int scan_case_insensitive;
int scan_newline_visible;
int scan_show_skips;
int scan_symbol_echo;
const char *scan_token_names;
symbol_table *scan_table;
scan_keyword_filter scan_keyword_filters;
scan_word_index scan_word_keywords;
scan_trie_node *scan_trie;
const scan_data **scan_trie_keywords;
bool scan_trie_ends_in_line;
const scan_data *scan_trie_leaves[256];

namespace {

// The keyword index. Spellings of one byte sit in a direct table; longer ones in an open-
// addressing hash table of a power-of-two number of slots, at most a quarter full. A bit map of
// the byte pairs that occur in any spelling turns most texts that are no keyword away before
// any hashing: "$1," ends in the pair "1,", which no spelling holds. The direct table and the bit
// map are scan_keyword_filters, read by the inline part of scan_find_keyword. Every keyword entered
// in scan_table is entered here too, a later one with the same text replacing the earlier, as in
// the table, where the newest symbol with a key hides older ones.
struct keyword_slot {
  uint32_t hash;
  uint32_t length;
  const scan_data *keyword; // null for a free slot
};

struct keyword_index {
  keyword_slot *slots;
  uint32_t slot_count; // a power of two, or 0 before the first keyword
  uint32_t keyword_count;
};

keyword_index keywords;

inline uint32_t pair_of(const char *text) {
  return static_cast<unsigned char>(text[0]) * 256u + static_cast<unsigned char>(text[1]);
}

// FNV-1a over the bytes of a spelling.
inline uint32_t spelling_hash(const char *text, uint32_t length) {
  uint32_t hash = 2166136261u;
  for (uint32_t i = 0; i < length; ++i)
    hash = (hash ^ static_cast<unsigned char>(text[i])) * 16777619u;
  return hash;
}

// Spellings are a few bytes long: a plain loop beats a library call.
inline bool same_text(const char *a, const char *b, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// The slot holding the spelling, or the free slot where it belongs.
inline keyword_slot *slot_for(const char *text, uint32_t length, uint32_t hash) {
  const uint32_t mask = keywords.slot_count - 1;
  for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
    keyword_slot *slot = &keywords.slots[i];
    if (slot->keyword == nullptr || (slot->hash == hash && slot->length == length &&
                                     same_text(slot->keyword->id, text, length)))
      return slot;
  }
}

void grow_index() {
  if (keywords.slot_count > UINT32_MAX / 2 / sizeof(keyword_slot))
    text_message(TEXT_FATAL, "keyword index too large\n");
  keyword_slot *old = keywords.slots;
  const uint32_t old_count = keywords.slot_count;
  keywords.slot_count = old_count == 0 ? 1024 : old_count * 2;
  keywords.slots =
      static_cast<keyword_slot *>(mem_calloc(keywords.slot_count, sizeof(keyword_slot)));
  for (uint32_t i = 0; i < old_count; ++i)
    if (old[i].keyword != nullptr)
      *slot_for(old[i].keyword->id, old[i].length, old[i].hash) = old[i];
  if (old != nullptr) mem_free(old);
}

// The trie's nodes: scan_trie holds trie_count of them in room for trie_capacity.
uint32_t trie_count;
uint32_t trie_capacity;

uint32_t new_trie_node() {
  if (trie_count == trie_capacity) {
    // Node numbers take 14 bits of an edge, which keeps the hot part of the trie small.
    if (trie_capacity > SCAN_TRIE_NODE / 2) text_message(TEXT_FATAL, "keyword trie too large\n");
    trie_capacity = trie_capacity == 0 ? 64 : trie_capacity * 2;
    scan_trie = static_cast<scan_trie_node *>(
        mem_realloc(scan_trie, trie_capacity * static_cast<uint32_t>(sizeof(scan_trie_node))));
    scan_trie_keywords = static_cast<const scan_data **>(mem_realloc(
        scan_trie_keywords, trie_capacity * static_cast<uint32_t>(sizeof *scan_trie_keywords)));
  }
  std::memset(&scan_trie[trie_count], 0, sizeof(scan_trie_node));
  scan_trie_keywords[trie_count] = nullptr;
  return trie_count++;
}

// Letters, digits and "_" begin identifiers and numbers, which the scanner reads otherwise.
bool starts_word(unsigned char c) {
  return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Enters a keyword in the trie, a later one with the same text replacing the earlier.
void trie_keyword(const scan_data *keyword) {
  const auto *text = reinterpret_cast<const unsigned char *>(keyword->id);
  if (text[0] == '\0' || starts_word(text[0])) return;
  if (trie_count == 0) {
    new_trie_node(); // the root
    scan_trie_ends_in_line = true;
  }
  if (std::strchr(keyword->id, ' ') != nullptr) scan_trie_ends_in_line = false;
  uint32_t parent = 0; // the node before `node` and the byte of the edge between them
  unsigned char via = 0;
  uint32_t node = 0;
  for (; *text != '\0'; ++text) {
    if ((scan_trie[node].next[*text] & SCAN_TRIE_NODE) == 0) {
      const auto child = static_cast<uint16_t>(new_trie_node()); // may move scan_trie
      scan_trie[node].next[*text] = child;
    }
    if (via != 0) scan_trie[parent].next[via] |= SCAN_TRIE_ONWARD;
    parent = node;
    via = *text;
    node = scan_trie[node].next[*text] & SCAN_TRIE_NODE;
  }
  scan_trie[parent].next[via] |= SCAN_TRIE_KEYWORD;
  scan_trie_keywords[node] = keyword;
  // Only keywords that begin with the same byte change what that byte alone stands for.
  const auto first = static_cast<unsigned char>(keyword->id[0]);
  const uint16_t edge = scan_trie[0].next[first];
  scan_trie_leaves[first] =
      (edge & SCAN_TRIE_ONWARD) == 0 ? scan_trie_keywords[edge & SCAN_TRIE_NODE] : nullptr;
}

// Enters a keyword of one to eight bytes beginning with a word character in the word index.
void word_keyword(const scan_data *keyword, size_t length) {
  const auto *text = reinterpret_cast<const unsigned char *>(keyword->id);
  if (length == 0 || length > 8 || !starts_word(text[0])) return;
  uint64_t word = 0;
  for (size_t i = 0; i < length; ++i)
    word = scan_pack_word(word, text[i]);
  scan_word_index &index = scan_word_keywords;
  const uint32_t bits = index.slots == nullptr ? 0 : 64 - index.shift;
  if (index.slots == nullptr || index.count >= (uint32_t{1} << bits) / 8) {
    // Doubles and enters the keywords again.
    if (bits >= 24) text_message(TEXT_FATAL, "keyword index too large\n");
    const scan_word_slot *old = index.slots;
    const uint32_t old_size = old == nullptr ? 0 : uint32_t{1} << bits;
    const uint32_t new_bits = bits == 0 ? 8 : bits + 1;
    index.slots = static_cast<scan_word_slot *>(
        mem_calloc(uint32_t{1} << new_bits, static_cast<uint32_t>(sizeof(scan_word_slot))));
    index.shift = 64 - new_bits;
    index.count = 0;
    const uint32_t mask = (uint32_t{1} << new_bits) - 1;
    for (uint32_t i = 0; i < old_size; ++i) {
      if (old[i].keyword == nullptr) continue;
      uint32_t j = scan_word_home(old[i].word);
      while (index.slots[j].keyword != nullptr)
        j = (j + 1) & mask;
      index.slots[j] = old[i];
      ++index.count;
    }
    if (old != nullptr) mem_free(const_cast<scan_word_slot *>(old));
  }
  const uint32_t mask = (uint32_t{1} << (64 - index.shift)) - 1;
  uint32_t i = scan_word_home(word);
  while (index.slots[i].keyword != nullptr && index.slots[i].word != word)
    i = (i + 1) & mask;
  if (index.slots[i].keyword == nullptr) ++index.count;
  index.slots[i] = {word, keyword};
}

void index_keyword(const scan_data *keyword) {
  trie_keyword(keyword);
  const char *text = keyword->id;
  const size_t length = std::strlen(text);
  word_keyword(keyword, length);
  if (length == 1) {
    scan_keyword_filters.single[static_cast<unsigned char>(text[0])] = keyword;
    return;
  }
  if (length >= UINT32_MAX) text_message(TEXT_FATAL, "keyword too long\n");
  for (size_t i = 0; i + 1 < length; ++i) {
    const uint32_t pair = pair_of(text + i);
    scan_keyword_filters.pairs[pair / 8] |= static_cast<unsigned char>(1u << (pair % 8));
  }
  if (keywords.keyword_count >= keywords.slot_count / 4) grow_index();
  const auto n = static_cast<uint32_t>(length);
  const uint32_t hash = spelling_hash(text, n);
  keyword_slot *slot = slot_for(text, n, hash);
  if (slot->keyword == nullptr) ++keywords.keyword_count;
  *slot = {hash, n, keyword};
}

void clear_index() {
  if (keywords.slots != nullptr) mem_free(keywords.slots);
  if (scan_word_keywords.slots != nullptr) mem_free(scan_word_keywords.slots);
  scan_word_keywords = scan_word_index{};
  std::memset(&keywords, 0, sizeof keywords);
  std::memset(&scan_keyword_filters, 0, sizeof scan_keyword_filters);
  if (scan_trie != nullptr) mem_free(scan_trie);
  if (scan_trie_keywords != nullptr) mem_free(scan_trie_keywords);
  scan_trie = nullptr;
  scan_trie_keywords = nullptr;
  trie_count = 0;
  trie_capacity = 0;
  scan_trie_ends_in_line = false;
  std::memset(scan_trie_leaves, 0, sizeof scan_trie_leaves);
}

// Membership of the current token, as set_includes_element answers it. The grammar asks this
// of several sets per token, so the usual case, storage that reaches the element, is answered
// here without a call; beyond the storage the call also grows it, as the set module does.
inline bool holds_current_token(set_ *set) {
  const auto token = static_cast<uint32_t>(text_scan_data->token);
  if (token / 8 < set->length) return (set->elements[token / 8] >> (token % 8)) & 1u;
  return set_includes_element(set, token) != 0;
}

// Expected-token lists wrap once the names and separators written on a line reach this width.
constexpr uint32_t expected_line_length = 60;

// A message under construction: with a null buffer only its length is counted, so the same
// composition first measures and then fills an exactly sized buffer.
struct message_text {
  char *buffer;
  size_t length;
};

// Appends s and returns its length.
size_t put(message_text &m, const char *s) {
  const size_t n = std::strlen(s);
  if (m.buffer != nullptr) std::memcpy(m.buffer + m.length, s, n);
  m.length += n;
  return n;
}

// Steps over `count` NUL-terminated names of the token-name list.
const char *skip_names(const char *names, uint32_t count) {
  for (; count > 0; --count)
    names += std::strlen(names) + 1;
  return names;
}

// Appends the name of a token from `names`, or its number when there is no name list; `names`
// points at the name of token `from`. Returns the number of characters appended.
size_t put_name(message_text &m, const char *names, uint32_t from, uint32_t token) {
  if (names != nullptr) return put(m, skip_names(names, token - from));
  char number[16];
  std::snprintf(number, sizeof number, "%u", token);
  return put(m, number);
}

// Appends the members of a set in ascending order, separated by ", ", with a line break after
// the separator once the line's names and separators have reached the wrap width.
void put_set(message_text &m, const set_ *set) {
  const char *name = scan_token_names;
  uint32_t previous = 0;
  size_t column = 0;
  bool printed = false;
  for (uint32_t byte = 0; byte < set->length; ++byte) {
    if (set->elements[byte] == 0) continue;
    for (uint32_t bit = 0; bit < 8; ++bit) {
      if ((set->elements[byte] & (1u << bit)) == 0) continue;
      const uint32_t member = byte * 8 + bit;
      if (printed)
        column += put(m, ", ");
      else
        printed = true;
      if (column >= expected_line_length) {
        put(m, "\n");
        column = 0;
      }
      column += put_name(m, name, previous, member);
      if (name != nullptr) name = skip_names(name, member - previous);
      previous = member;
    }
  }
}

// The syntax-error text: the token found and the one token (valid_set null) or the set of
// tokens expected.
void compose(message_text &m, const char *production, uint32_t valid, const set_ *valid_set) {
  if (production != nullptr) {
    put(m, "In rule '");
    put(m, production);
    put(m, "', scanned ");
  } else {
    put(m, "Scanned ");
  }
  put_name(m, scan_token_names, 0, static_cast<uint32_t>(text_scan_data->token));
  put(m, " whilst expecting ");
  if (valid_set == nullptr) {
    put_name(m, scan_token_names, 0, valid);
  } else {
    if (set_cardinality(valid_set) != 1) put(m, "one of ");
    put_set(m, valid_set);
  }
  put(m, "\n");
}

// Reports a token that is not the one (valid_set null) or one of those expected, then skips to
// the stop set. Kept out of line: the tests are asked for every token, and fail rarely.
[[gnu::noinline, gnu::cold]] void recover(const char *production, uint32_t valid,
                                          const set_ *valid_set, set_ *stop) {
  message_text measure{nullptr, 0};
  compose(measure, production, valid, valid_set);
  if (measure.length >= UINT32_MAX) text_message(TEXT_FATAL, "syntax error message too long\n");
  message_text text{static_cast<char *>(mem_malloc(static_cast<uint32_t>(measure.length + 1))), 0};
  compose(text, production, valid, valid_set);
  text.buffer[text.length] = '\0';
  text_message(TEXT_ERROR_ECHO, "%s", text.buffer);
  mem_free(text.buffer);
  scan_skip(stop);
}

} // namespace

void scan_init(int case_insensitive, int newline_visible, int show_skips, int symbol_echo,
               const char *token_names) {
  scan_case_insensitive = case_insensitive;
  scan_newline_visible = newline_visible;
  scan_show_skips = show_skips;
  scan_symbol_echo = symbol_echo;
  scan_token_names = token_names;
  text_scan_data = static_cast<scan_data *>(mem_malloc(sizeof(scan_data)));
  std::memset(text_scan_data, 0, sizeof(scan_data)); // read by an inclusion before any token
  scan_table = symbol_new_table("scan table", 101, 31, symbol_compare_string, symbol_hash_string,
                                symbol_print_string);
  clear_index(); // a new table starts a new index
}

void scan_load_keyword(const char *id1, const char *id2, int token, int extended) {
  auto *keyword = static_cast<scan_data *>(symbol_new_symbol(sizeof(scan_data)));
  keyword->id = text_insert_string(id1);
  // The second text follows the first one's NUL, where the scanner looks for it.
  if (id2 != nullptr) text_insert_string(id2);
  keyword->token = token;
  keyword->extended = extended;
  symbol_insert_symbol(scan_table, keyword);
  index_keyword(keyword);
}

const scan_data *scan_find_long_keyword(const char *text, uint32_t length) {
  if (keywords.keyword_count == 0) return nullptr;
  return slot_for(text, length, spelling_hash(text, length))->keyword;
}

int scan_test_failed(const char *production, int valid, set_ *stop) {
  if (text_scan_data->token == valid) return 1;
  if (stop != nullptr) recover(production, static_cast<uint32_t>(valid), nullptr, stop);
  return 0;
}

int scan_test_set_failed(const char *production, set_ *valid, set_ *stop) {
  if (holds_current_token(valid)) return 1;
  if (stop != nullptr) recover(production, 0, valid, stop);
  return 0;
}

void scan_skip(set_ *stop) {
  // The end of input ends every skip, since the scanner returns it for ever: a stop set that
  // lacks it would otherwise never be reached.
  while (text_scan_data->token != SCAN_P_EOF && !holds_current_token(stop))
    scan_();
  if (scan_show_skips) text_message(TEXT_ERROR_ECHO, "Skipping to...\n");
}
