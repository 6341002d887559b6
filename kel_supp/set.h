// set: bit sets over small non-negative integers (token numbers).
#ifndef KEL_SET_H
#define KEL_SET_H

#include <cstdint>
#include <initializer_list>

struct set_ {
  uint32_t length;         // bytes of element storage
  unsigned char *elements; // null while length is 0
};

// Ends an element list and the arrays of set_array.
constexpr uint32_t SET_LIST_END = 0xFFFFFFFFu;

void set_grow(set_ *set, uint32_t length);
// The set holds exactly the listed elements; the list ends at SET_LIST_END or at its end.
void set_assign_list(set_ *set, std::initializer_list<uint32_t> elements);
int set_includes_element(set_ *set, uint32_t element);
uint32_t set_cardinality(const set_ *set);
uint32_t *set_array(const set_ *set); // release with mem_free
void set_print_element(uint32_t element, const char *element_names);
void set_print_set(const set_ *set, const char *element_names, uint32_t line_length);

#endif
