// The assembler's token set: token numbers, the token-name block and the keyword loader.
#ifndef TORVANE_TOKENS_H
#define TORVANE_TOKENS_H

#include "scanner.h"

// Token numbers of the keywords, from SCAN_P_TOP (16) to 255.
enum kel_token : int {
  T_FIRST_KEYWORD_ = SCAN_P_TOP - 1,
#define KEYWORD(name, spelling, second, extended) name,
#include "keywords.def"
#undef KEYWORD
  T_TOKEN_COUNT_
};
static_assert(T_TOKEN_COUNT_ == 256, "240 keywords after the 16 primitive kinds");
constexpr int kel_keyword_count = T_TOKEN_COUNT_ - static_cast<int>(SCAN_P_TOP);

struct kel_keyword {
  const char *spelling;
  const char *second; // escape character of a string kind, or null
  int extended;       // a scan_primitive_type value, or 0
};

// The keywords in token-number order: entry i is token i + SCAN_P_TOP.
extern const kel_keyword kel_keywords[kel_keyword_count];

// The 256 token names, each ended by a NUL, in token-number order, then one more NUL.
// Keywords are named by their spelling in single quotes: 'add', '$sp', '"'.
extern const char *const kel_tokens;

// Enters the 240 keywords into the scanner's keyword table.
void kel_load_keywords();

#endif
