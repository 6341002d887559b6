// symbol: hash tables of caller-defined records with chained buckets and a root scope.
// A symbol is one zero-filled block: the link header, then the caller's body, whose start is the
// key. Callers only ever see body pointers; the header sits directly in front of the body.
#include "symbol.h"

#include <cstring>
#include <iterator>

#include "memalloc.h"
#include "textio.h"

namespace {

// Aligned like a pointer, so the body that follows suits records of pointers, integers and
// doubles, which is what tables keep. A symbol is then 8 bytes smaller than with the 16-byte
// alignment of the widest types, which counts when a program has a million labels.
struct alignas(alignof(void *)) symbol_node {
  symbol_node *next_hash;  // next (older) symbol in the same bucket
  symbol_node **last_hash; // the link that points at this symbol
  symbol_node *next_scope; // next symbol in the same scope chain
  symbol_node *scope;      // the scope symbol this symbol was inserted under
  uint32_t hash;           // full hash value of the key
  // Where the key's probe in the table's index starts while the index is not spread (see
  // index_key_of). Kept beside `hash`, where alignment would otherwise leave padding.
  uint32_t index_home;
};
static_assert(sizeof(symbol_node) % alignof(double) == 0, "a body of doubles is aligned");

struct scope_data_node {
  const char *id;
};

const char *symbol_root_string = "Root";

} // namespace

struct symbol_table_node {
  const char *name;
  symbol_node **table;
  symbol_node *current;
  symbol_node *scopes;
  uint32_t hash_size;
  uint32_t hash_prime;
  symbol_compare_function compare;
  symbol_hash_function hash;
  symbol_print_function print;
  symbol_table_node *next;
  // An index beside the buckets for tables keyed by text with the library's own functions: open
  // addressing over a power-of-two number of slots, at most half full, holding for every key the
  // newest symbol, the one a walk of its bucket meets first. Look-ups then cost the same however
  // long the buckets grow; the buckets stay as they are for the statistics.
  symbol_node **index; // a slot holds a symbol, or null when free
  uint32_t index_size; // 0 while the table is not indexed or holds nothing yet
  uint32_t index_count;
  bool index_spread;     // slots chosen from the mixed hash rather than the plain one
  uint64_t index_probes; // slots passed over by all insertions of new keys
};

namespace {

symbol_table *symbol_tables = nullptr; // every table ever created, newest first

// Symbols are never given back, so small ones are carved from large zero-filled blocks instead of
// costing an allocation each: a program with a million labels needs a million symbols. Blocks
// double in size up to a few megabytes, so a small program takes little memory and a large one
// few blocks, which are then worth backing with large pages.
constexpr size_t pool_block = 64 * 1024;
constexpr size_t pool_block_limit = 8 * 1024 * 1024;
size_t pool_next_block = pool_block;
unsigned char *pool_next = nullptr;
size_t pool_left = 0;

// Blocks no longer needed (outgrown indexes), kept as room for symbols: memory already in use
// costs less to clear than fresh memory, every page of which costs a fault and a clear by the
// system. The pool takes them, largest last in, before it asks for a fresh block.
struct spare_block {
  unsigned char *bytes;
  size_t size;
};
spare_block spare_blocks[32];
size_t spare_count = 0;

// A zero-filled block of `bytes` (below 2^32), aligned like a symbol.
void *allocate_symbol(size_t bytes) {
  constexpr size_t align = alignof(symbol_node);
  if (bytes > pool_block / 4) return mem_calloc(1, static_cast<uint32_t>(bytes));
  const size_t rounded = (bytes + align - 1) / align * align;
  if (rounded > pool_left) {
    if (spare_count > 0) {
      const spare_block spare = spare_blocks[--spare_count];
      std::memset(spare.bytes, 0, spare.size);
      pool_next = spare.bytes;
      pool_left = spare.size;
    } else {
      pool_left = pool_next_block;
      pool_next = static_cast<unsigned char *>(mem_calloc(1, static_cast<uint32_t>(pool_left)));
      mem_advise_large(pool_next, pool_left);
      if (pool_next_block < pool_block_limit) pool_next_block *= 2;
    }
  }
  void *block = pool_next;
  pool_next += rounded;
  pool_left -= rounded;
  return block;
}

// Gives a block back, or keeps it for symbols when it is large enough to be worth it.
void recycle_for_symbols(void *block, size_t bytes) {
  if (bytes < pool_block || spare_count == std::size(spare_blocks)) {
    mem_free(block);
    return;
  }
  spare_blocks[spare_count++] = {static_cast<unsigned char *>(block), bytes};
}

symbol_node *header_of(void *body) {
  return static_cast<symbol_node *>(body) - 1;
}
void *body_of(symbol_node *symbol) {
  return symbol + 1;
}

bool indexed(const symbol_table *table) {
  return table->compare == symbol_compare_string && table->hash == symbol_hash_string;
}

// Spreads a hash over all 32 bits.
inline uint32_t mix(uint32_t h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}

inline const char *key_text(const void *body) {
  return *static_cast<const char *const *>(body);
}

// Keys as symbol_compare_string orders them: equal when both texts are missing or both equal.
inline bool same_key(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return a == b;
  // Keys are names a few bytes long: a plain loop beats a library call.
  for (; *a == *b; ++a, ++b)
    if (*a == '\0') return true;
  return false;
}

// A key's full bucket hash and its home hash in the index. Names that differ only in a trailing
// number (L1, L2, ..., L1000) get home hashes two apart: programs define such labels in order
// and mostly name labels defined nearby, so defining and finding them walks the index in order
// and stays within a few pages of memory. The home hash mixes the hash of the text before the
// trailing digits and adds twice their value; the gaps left between such names keep the probes
// of other names that land among them short.
struct index_key {
  uint32_t hash;
  uint32_t home;
};

inline index_key index_key_of(const char *text, uint32_t hash_prime) {
  uint32_t hash = 0;
  uint32_t stem = 0;   // the hash before the trailing digits
  uint32_t number = 0; // their value, modulo 2^32
  bool in_digits = false;
  if (text != nullptr) {
    for (; *text != '\0'; ++text) {
      const auto c = static_cast<unsigned char>(*text);
      if (c >= '0' && c <= '9') {
        if (!in_digits) {
          stem = hash;
          number = 0;
          in_digits = true;
        }
        number = number * 10u + (c - '0');
      } else {
        in_digits = false;
      }
      hash = hash * hash_prime +
             static_cast<uint32_t>(static_cast<signed char>(c)); // as symbol_hash_string
    }
  }
  if (!in_digits) {
    stem = hash;
    number = 0;
  }
  return {hash, mix(stem) + 2u * number};
}

// The first slot to probe for a key of full hash `hash` and home hash `home`. Keys that crowd
// together under their home hashes switch the table to the mixed full hash (see index_insert).
inline uint32_t first_slot(const symbol_table *table, uint32_t hash, uint32_t home) {
  return (table->index_spread ? mix(hash) : home) & (table->index_size - 1);
}

// The slot holding the key's newest symbol, or the free slot where it belongs. A symbol's full
// hash is in its header, so only a symbol of the same hash has its key compared.
symbol_node **index_find(const symbol_table *table, const char *text, const index_key &key) {
  const uint32_t mask = table->index_size - 1;
  for (uint32_t i = first_slot(table, key.hash, key.home);; i = (i + 1) & mask) {
    symbol_node **slot = &table->index[i];
    const symbol_node *node = *slot;
    if (node == nullptr || (node->hash == key.hash &&
                            same_key(key_text(body_of(const_cast<symbol_node *>(node))), text)))
      return slot;
  }
}

// Moves every entry into a new slot array of `size` slots.
void index_rebuild(symbol_table *table, uint32_t size) {
  const uint32_t old_size = table->index_size;
  symbol_node **old = table->index;
  table->index_size = size;
  table->index = static_cast<symbol_node **>(mem_calloc(size, uint32_t{sizeof(symbol_node *)}));
  mem_advise_large(table->index, size_t{size} * sizeof(symbol_node *));
  const uint32_t mask = size - 1;
  for (uint32_t i = 0; i < old_size; ++i) {
    symbol_node *node = old[i];
    if (node == nullptr) continue;
    uint32_t j = first_slot(table, node->hash, node->index_home);
    while (table->index[j] != nullptr)
      j = (j + 1) & mask;
    table->index[j] = node;
  }
  if (old != nullptr) recycle_for_symbols(old, size_t{old_size} * sizeof(symbol_node *));
}

// The home hash is taken to crowd its keys together when insertions of new keys pass over more
// than this many occupied slots per key on average (plus some slack for small tables).
constexpr uint64_t crowded = 16;
constexpr uint64_t crowded_slack = 4096;

// Makes `node`, whose key has the index key `key`, the symbol its key finds.
void index_insert(symbol_table *table, symbol_node *node, const index_key &key) {
  if (table->index_count >= table->index_size / 2) {
    if (table->index_size > UINT32_MAX / 2 / sizeof(symbol_node *))
      text_message(TEXT_FATAL, "insufficient memory for calloc\n");
    index_rebuild(table, table->index_size == 0 ? 64 : table->index_size * 2);
  }
  node->index_home = key.home;
  const char *text = key_text(body_of(node));
  symbol_node **slot = index_find(table, text, key);
  if (*slot == nullptr) {
    ++table->index_count;
    const auto probes =
        static_cast<uint32_t>(slot - table->index) - first_slot(table, key.hash, key.home);
    table->index_probes += probes & (table->index_size - 1);
    if (!table->index_spread &&
        table->index_probes > crowded * table->index_count + crowded_slack) {
      table->index_spread = true;
      index_rebuild(table, table->index_size);
      slot = index_find(table, text, key);
    }
  }
  *slot = node;
}

} // namespace

symbol_table *symbol_new_table(const char *name, uint32_t symbol_hashsize,
                               uint32_t symbol_hashprime, symbol_compare_function compare,
                               symbol_hash_function hash, symbol_print_function print) {
  auto *table = static_cast<symbol_table *>(mem_malloc(sizeof(symbol_table)));
  auto *root = static_cast<scope_data_node *>(symbol_new_symbol(sizeof(scope_data_node)));
  root->id = symbol_root_string;
  // A table without buckets would leave nowhere to hash to; it gets one.
  if (symbol_hashsize == 0) symbol_hashsize = 1;
  table->name = name;
  table->hash_size = symbol_hashsize;
  table->hash_prime = symbol_hashprime;
  table->compare = compare;
  table->hash = hash;
  table->print = print;
  table->index = nullptr;
  table->index_size = 0;
  table->index_count = 0;
  table->index_spread = false;
  table->index_probes = 0;
  // The allocator counts in 32 bits; a bucket array beyond that could never be had anyway.
  if (symbol_hashsize > UINT32_MAX / sizeof(symbol_node *))
    text_message(TEXT_FATAL, "insufficient memory for malloc\n");
  table->table = static_cast<symbol_node **>(
      mem_malloc(symbol_hashsize * static_cast<uint32_t>(sizeof(symbol_node *))));
  for (uint32_t i = 0; i < symbol_hashsize; ++i)
    table->table[i] = nullptr;
  table->scopes = header_of(root);
  table->current = header_of(root);
  table->next = symbol_tables;
  symbol_tables = table;
  return table;
}

void *symbol_new_symbol(size_t size) {
  // The allocator counts in 32 bits; a larger block could never be had anyway.
  if (size > UINT32_MAX - sizeof(symbol_node))
    text_message(TEXT_FATAL, "insufficient memory for calloc\n");
  return body_of(static_cast<symbol_node *>(allocate_symbol(sizeof(symbol_node) + size)));
}

namespace {

// Inserts a symbol whose index key (for an indexed table) is already worked out.
void *insert_symbol(symbol_table *table, void *symbol, bool in_index, const index_key &key) {
  symbol_node *node = header_of(symbol);
  // An indexed table's index key holds the full hash, as the table's hash function computes it.
  node->hash = in_index ? key.hash : table->hash(table->hash_prime, symbol);
  symbol_node **slot = &table->table[node->hash % table->hash_size];
  node->next_hash = *slot;
  node->last_hash = slot;
  if (*slot != nullptr) (*slot)->last_hash = &node->next_hash;
  *slot = node;
  node->next_scope = table->current->next_scope;
  table->current->next_scope = node;
  node->scope = table->current;
  if (in_index) index_insert(table, node, key);
  return symbol;
}

} // namespace

void *symbol_insert_symbol(symbol_table *table, void *symbol) {
  const bool in_index = indexed(table);
  return insert_symbol(table, symbol, in_index,
                       in_index ? index_key_of(key_text(symbol), table->hash_prime) : index_key{});
}

void *symbol_insert_key(symbol_table *table, void *key, size_t key_size, size_t symbol_size) {
  if (key_size > symbol_size)
    text_message(TEXT_FATAL, "programmer error - key_size > symbol_size in symbol_insert_key\n");
  void *symbol = symbol_new_symbol(symbol_size);
  std::memcpy(symbol, key, key_size);
  return symbol_insert_symbol(table, symbol);
}

void *symbol_find_or_insert_key(symbol_table *table, void *key, size_t key_size,
                                size_t symbol_size) {
  if (!indexed(table) || key_size > symbol_size) {
    void *found = symbol_lookup_key(table, key, nullptr);
    return found != nullptr ? found : symbol_insert_key(table, key, key_size, symbol_size);
  }
  // The key is worked out once for the look-up and the insertion.
  const char *text = key_text(key);
  const index_key k = index_key_of(text, table->hash_prime);
  if (table->index_size != 0)
    if (symbol_node *node = *index_find(table, text, k); node != nullptr) return body_of(node);
  void *symbol = symbol_new_symbol(symbol_size);
  std::memcpy(symbol, key, key_size);
  return insert_symbol(table, symbol, true, k);
}

void *symbol_lookup_key(symbol_table *table, void *key, void *scope) {
  symbol_node *node;
  if (indexed(table)) {
    const char *text = key_text(key);
    const index_key k = index_key_of(text, table->hash_prime);
    node = table->index_size == 0 ? nullptr : *index_find(table, text, k);
  } else {
    uint32_t hash = table->hash(table->hash_prime, key);
    node = table->table[hash % table->hash_size];
    while (node != nullptr && table->compare(key, body_of(node)) != 0)
      node = node->next_hash;
  }
  if (node == nullptr) return nullptr;
  // Only the newest symbol with the key counts; an older one in the asked scope is hidden.
  if (scope != nullptr && node->scope != header_of(scope)) return nullptr;
  return body_of(node);
}

uint32_t symbol_hash_string(uint32_t hash_prime, void *key) {
  const char *text = *static_cast<const char *const *>(key);
  uint32_t hash = 0;
  if (text == nullptr) return hash;
  // Characters count as signed bytes, so bytes 128 to 255 add -128 to -1 (modulo 2^32).
  for (; *text != '\0'; ++text)
    hash = hash * hash_prime + static_cast<uint32_t>(static_cast<signed char>(*text));
  return hash;
}

int symbol_compare_string(void *left, void *right) {
  const char *left_text = *static_cast<const char *const *>(left);
  const char *right_text = *static_cast<const char *const *>(right);
  // A missing name sorts before every text, as it hashes like the empty one.
  if (left_text == nullptr || right_text == nullptr)
    return (left_text != nullptr) - (right_text != nullptr);
  return std::strcmp(left_text, right_text);
}

void symbol_print_string(const void *symbol) {
  if (symbol == nullptr)
    text_printf("Null symbol");
  else if (const char *name = *static_cast<const char *const *>(symbol); name != nullptr)
    text_printf("%s", name);
  else
    text_printf("(null)");
}

void symbol_print_table_statistics(symbol_table *table, int histogram_size) {
  // At least one row, so every bucket has a histogram entry to land in.
  if (histogram_size < 1) histogram_size = 1;
  auto last = static_cast<uint32_t>(histogram_size - 1);
  auto *histogram = static_cast<int32_t *>(
      mem_calloc(static_cast<uint32_t>(histogram_size), uint32_t{sizeof(int32_t)}));
  uint32_t symbols = 0;
  for (uint32_t bucket = 0; bucket < table->hash_size; ++bucket) {
    uint32_t count = 0;
    for (symbol_node *node = table->table[bucket]; node != nullptr; node = node->next_hash)
      ++count;
    symbols += count;
    ++histogram[count < last ? count : last];
  }
  text_message(TEXT_INFO, "\nSymbol table `%s' has %u buckets and contains %i symbols\n",
               table->name, table->hash_size, static_cast<int>(symbols));
  // Unsigned so that a huge table wraps instead of overflowing; the mean reads it as signed.
  uint32_t weighted = 0;
  for (uint32_t i = 0; i <= last; ++i) {
    const char *ending = i == 1 ? "" : i == last ? "s or more" : "s";
    text_printf("%3i bucket%s %i symbol%s\n", histogram[i], histogram[i] == 1 ? "  has " : "s have",
                static_cast<int>(i), ending);
    weighted += (i + 1) * static_cast<uint32_t>(histogram[i]);
  }
  text_message(TEXT_INFO, "\nMean list length is %f\n",
               static_cast<double>(static_cast<int32_t>(weighted)) / table->hash_size - 1);
  mem_free(histogram);
}

void symbol_print_all_table_statistics(int histogram_size) {
  for (symbol_table *table = symbol_tables; table != nullptr; table = table->next)
    symbol_print_table_statistics(table, histogram_size);
}
