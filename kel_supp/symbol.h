// symbol: hash tables of caller-defined records (symbols) with chained buckets and a root scope.
// Every operation takes and returns body pointers; the key sits at the start of the body.
#ifndef KEL_SYMBOL_H
#define KEL_SYMBOL_H

#include <cstddef>
#include <cstdint>

struct symbol_table_node;
using symbol_table = symbol_table_node;

using symbol_compare_function = int (*)(void *left, void *right);
using symbol_hash_function = uint32_t (*)(uint32_t hash_prime, void *key);
using symbol_print_function = void (*)(const void *symbol);

symbol_table *symbol_new_table(const char *name, uint32_t symbol_hashsize,
                               uint32_t symbol_hashprime, symbol_compare_function compare,
                               symbol_hash_function hash, symbol_print_function print);
void *symbol_new_symbol(size_t size);
void *symbol_insert_symbol(symbol_table *table, void *symbol);
void *symbol_insert_key(symbol_table *table, void *key, size_t key_size, size_t symbol_size);
void *symbol_lookup_key(symbol_table *table, void *key, void *scope);
// The newest symbol with the key in any scope, as symbol_lookup_key(table, key, null) finds it;
// when there is none, a new one as symbol_insert_key makes it.
void *symbol_find_or_insert_key(symbol_table *table, void *key, size_t key_size,
                                size_t symbol_size);

uint32_t symbol_hash_string(uint32_t hash_prime, void *key);
int symbol_compare_string(void *left, void *right);
void symbol_print_string(const void *symbol);

void symbol_print_table_statistics(symbol_table *table, int histogram_size);
void symbol_print_all_table_statistics(int histogram_size);

#endif
