// set: bit sets over small non-negative integers (token numbers). Element e is bit (e mod 8) of
// byte (e div 8); storage grows on demand, zero-filled, and never shrinks.
#include "set.h"

#include <cstring>

#include "memalloc.h"
#include "textio.h"

namespace {

constexpr unsigned char mask[8] = {1, 2, 4, 8, 16, 32, 64, 128};
// Number of one bits in each 4-bit value.
constexpr unsigned char bits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};

// Bytes needed to hold element e; at most 2^29, so it never wraps.
constexpr uint32_t bytes_for(uint32_t element) {
  return element / 8 + 1;
}

// Skips `count` NUL-terminated names of an element-name list.
const char *skip_names(const char *names, uint32_t count) {
  for (; count > 0; --count)
    names += std::strlen(names) + 1;
  return names;
}

} // namespace

void set_grow(set_ *set, uint32_t length) {
  if (set->length >= length) return;
  auto *elements = static_cast<unsigned char *>(mem_calloc(length, 1));
  if (set->elements != nullptr) {
    std::memcpy(elements, set->elements, set->length);
    mem_free(set->elements);
  }
  set->length = length;
  set->elements = elements;
}

void set_assign_list(set_ *set, std::initializer_list<uint32_t> elements) {
  uint32_t largest = 0;
  for (uint32_t element : elements) {
    if (element == SET_LIST_END) break;
    if (element > largest) largest = element;
  }
  set_grow(set, bytes_for(largest));
  std::memset(set->elements, 0, set->length);
  for (uint32_t element : elements) {
    if (element == SET_LIST_END) break;
    set->elements[element / 8] |= mask[element % 8];
  }
}

int set_includes_element(set_ *set, uint32_t element) {
  // The growth call is only taken for an element beyond the storage, which parsers never ask for
  // once their sets are filled.
  if (set->length <= element / 8) set_grow(set, bytes_for(element));
  return (set->elements[element / 8] & mask[element % 8]) != 0;
}

uint32_t set_cardinality(const set_ *set) {
  uint32_t count = 0;
  for (uint32_t i = 0; i < set->length; ++i)
    count += bits[set->elements[i] & 0x0F] + bits[set->elements[i] >> 4];
  return count;
}

uint32_t *set_array(const set_ *set) {
  uint32_t count = set_cardinality(set);
  // A set with 2^30 or more members would overflow the 32-bit byte count of the array.
  if (count >= 0x3FFFFFFFu) text_message(TEXT_FATAL, "set too large for set_array\n");
  auto *array = static_cast<uint32_t *>(mem_malloc((count + 1) * sizeof(uint32_t)));
  uint32_t filled = 0;
  uint32_t element = 0;
  for (uint32_t i = 0; i < set->length; ++i)
    for (uint32_t bit = 0; bit < 8; ++bit, ++element)
      if (set->elements[i] & mask[bit]) array[filled++] = element;
  array[filled] = SET_LIST_END;
  return array;
}

void set_print_element(uint32_t element, const char *element_names) {
  if (element_names == nullptr)
    text_printf("%u", element);
  else
    text_printf("%s", skip_names(element_names, element));
}

void set_print_set(const set_ *set, const char *element_names, uint32_t line_length) {
  uint32_t *members = set_array(set);
  uint32_t column = 0;
  bool printed = false;
  uint32_t previous = 0;
  const char *name = element_names;
  for (const uint32_t *member = members; *member != SET_LIST_END; ++member) {
    if (printed)
      column += static_cast<uint32_t>(text_printf(", "));
    else
      printed = true;
    if (line_length != 0 && column >= line_length) {
      text_printf("\n");
      column = 0;
    }
    int written;
    if (name == nullptr) {
      written = text_printf("%u", *member);
    } else {
      name = skip_names(name, *member - previous);
      previous = *member;
      written = text_printf("%s", name);
    }
    if (written > 0) column += static_cast<uint32_t>(written);
  }
  mem_free(members);
}
