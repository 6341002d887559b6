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
// The parts of the keyword index which answer most look-ups without hashing, kept by
// scan_load_keyword: the keywords of one byte, and a bit for every byte pair that occurs in a
// longer spelling.
struct scan_keyword_filter {
  const scan_data *single[256];
  unsigned char pairs[256 * 256 / 8];
};
extern scan_keyword_filter scan_keyword_filters;
// The hashed part of scan_find_keyword, for texts of any length but one.
const scan_data *scan_find_long_keyword(const char *text, uint32_t length);
// The keyword spelled by the `length` bytes at `text`, or null: the entry a lookup of that text
// in scan_table finds, answered from an index that scan_load_keyword keeps beside the table so
// that the scanner's lookups need no string hashing through the table's function pointers.
// Inline: the scanner asks once per identifier and once per character of a symbol.
inline const scan_data *scan_find_keyword(const char *text, uint32_t length) {
  if (length == 1) return scan_keyword_filters.single[static_cast<unsigned char>(text[0])];
  if (length == 0) return scan_find_long_keyword(text, length);
  const uint32_t pair = static_cast<unsigned char>(text[length - 2]) * 256u +
                        static_cast<unsigned char>(text[length - 1]);
  if (((scan_keyword_filters.pairs[pair / 8] >> (pair % 8)) & 1u) == 0) return nullptr;
  return scan_find_long_keyword(text, length);
}
// The keywords of one to eight bytes that begin with a letter, a digit or "_", which the
// scanner's identifiers may spell, keyed by their bytes packed into one number, the first byte
// highest (`scan_pack_word`). Spellings hold no NUL, so the number stands for the text. The
// scanner packs an identifier's bytes as it copies them and finds its keyword with one multiply
// and a compare or two. Open addressing over a power-of-two number of slots, at most an eighth
// full, so that nearly every look-up ends at its first slot, keyword or not; a later keyword with
// the same text replaces the earlier, as in scan_table.
struct scan_word_slot {
  uint64_t word;
  const scan_data *keyword; // null for a free slot
};
struct scan_word_index {
  scan_word_slot *slots; // null until the first such keyword
  uint32_t shift;        // 64 less the number of bits of a slot number
  uint32_t count;
};
extern scan_word_index scan_word_keywords;
inline uint64_t scan_pack_word(uint64_t word, int c) {
  return (word << 8) | static_cast<unsigned char>(c);
}
inline uint32_t scan_word_home(uint64_t word) {
  return static_cast<uint32_t>((word * 0x9E3779B97F4A7C15u) >> scan_word_keywords.shift);
}
// The keyword spelled by the packed bytes `word` of an identifier of one to eight bytes, or null.
inline const scan_data *scan_find_word_keyword(uint64_t word) {
  const scan_word_slot *const slots = scan_word_keywords.slots;
  if (slots == nullptr) return nullptr;
  const uint32_t mask = (uint32_t{1} << (64 - scan_word_keywords.shift)) - 1;
  for (uint32_t i = scan_word_home(word);; i = (i + 1) & mask) {
    if (slots[i].keyword == nullptr) return nullptr;
    if (slots[i].word == word) return slots[i].keyword;
  }
}
// The keywords whose spelling begins with neither a letter, a digit nor "_" (punctuation,
// register and directive spellings), as a trie of their bytes. The scanner grows such a keyword
// one character at a time and steps through the trie instead of looking up each longer text.
// An edge of the trie, for a byte: the node it leads to (0 for none), and whether that node
// spells a keyword and whether any edge leads on from it. No spelling holds a NUL, so the edge of
// byte 0 is always 0. A chain goes on through an edge only to a node that spells a keyword, and
// ends right after a node from which no edge leads on, whatever character follows.
constexpr uint16_t SCAN_TRIE_NODE = 0x3FFF;    // the node number
constexpr uint16_t SCAN_TRIE_KEYWORD = 0x4000; // the node spells a keyword
constexpr uint16_t SCAN_TRIE_ONWARD = 0x8000;  // edges lead on from the node
struct scan_trie_node {
  uint16_t next[256]; // by byte
};
extern scan_trie_node *scan_trie;            // node 0 is the root, spelling the empty text
extern const scan_data **scan_trie_keywords; // by node: the keyword it spells, or null
// By byte: the keyword spelled by that byte alone when no spelling continues it (a comma, say),
// else null. Such a token is the byte, whatever follows.
extern const scan_data *scan_trie_leaves[256];
// True while the trie exists and no spelling in it holds a space: a chain then ends at the latest
// at the space that closes every stored line.
extern bool scan_trie_ends_in_line;
// The edge from `node` for the byte c (0..255).
inline uint16_t scan_trie_step(uint32_t node, int c) {
  return scan_trie == nullptr ? 0 : scan_trie[node].next[static_cast<unsigned char>(c)];
}
// The reporting halves of scan_test and scan_test_set, for a token that failed a test with a
// stop set (or lies beyond the storage of the set).
int scan_test_failed(const char *production, int valid, set_ *stop);
int scan_test_set_failed(const char *production, set_ *valid, set_ *stop);
// Inline: the grammar tests several tokens and sets per token, and the usual answers need no
// call.
inline int scan_test(const char *production, int valid, set_ *stop) {
  if (text_scan_data->token == valid) return 1;
  if (stop == nullptr) return 0;
  return scan_test_failed(production, valid, stop);
}
inline int scan_test_set(const char *production, set_ *valid, set_ *stop) {
  const auto token = static_cast<uint32_t>(text_scan_data->token);
  if (token / 8 < valid->length) {
    if ((valid->elements[token / 8] >> (token % 8)) & 1u) return 1;
    if (stop == nullptr) return 0;
  }
  return scan_test_set_failed(production, valid, stop);
}
void scan_skip(set_ *stop);

#endif
