// The keyword table and the token-name block, both expanded from keywords.def.
#include "tokens.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "scan.h"

const kel_keyword kel_keywords[kel_keyword_count] = {
#define KEYWORD(name, spelling, second, extended) {spelling, second, extended},
#include "keywords.def"
#undef KEYWORD
};

namespace {

constexpr std::string_view primitive_names[SCAN_P_TOP] = {"IGNORE",       "ID",
                                                          "INTEGER",      "REAL",
                                                          "CHAR",         "CHAR_ESC",
                                                          "STRING",       "STRING_ESC",
                                                          "COMMENT",      "COMMENT_VISIBLE",
                                                          "COMMENT_NEST", "COMMENT_NEST_VISIBLE",
                                                          "COMMENT_LINE", "COMMENT_LINE_VISIBLE",
                                                          "EOF",          "EOLN"};

constexpr std::string_view keyword_spellings[] = {
#define KEYWORD(name, spelling, second, extended) spelling,
#include "keywords.def"
#undef KEYWORD
};

constexpr std::size_t token_block_size() {
  std::size_t size = 1; // the final NUL
  for (auto name : primitive_names)
    size += name.size() + 1;
  for (auto spelling : keyword_spellings)
    size += spelling.size() + 3; // quotes and NUL
  return size;
}

constexpr auto build_token_block() {
  std::array<char, token_block_size()> block{};
  std::size_t at = 0;
  for (auto name : primitive_names) {
    for (char c : name)
      block[at++] = c;
    block[at++] = '\0';
  }
  for (auto spelling : keyword_spellings) {
    block[at++] = '\'';
    for (char c : spelling)
      block[at++] = c;
    block[at++] = '\'';
    block[at++] = '\0';
  }
  block[at] = '\0';
  return block;
}

constexpr auto token_block = build_token_block();

} // namespace

const char *const kel_tokens = token_block.data();

void kel_load_keywords() {
  int token = SCAN_P_TOP;
  for (const kel_keyword &keyword : kel_keywords)
    scan_load_keyword(keyword.spelling, keyword.second, token++, keyword.extended);
}
