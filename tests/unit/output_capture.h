// Test support: capturing what a module prints, and showing token texts and names readably.
#ifndef TESTS_OUTPUT_CAPTURE_H
#define TESTS_OUTPUT_CAPTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace test_support {

// What `action` prints on standard output.
inline std::string output_of(const std::function<void()> &action) {
  testing::internal::CaptureStdout();
  action();
  return testing::internal::GetCapturedStdout();
}

// Sends the standard output of a death test's child to its standard error, where it is matched.
inline void output_to_stderr() {
  std::fflush(stdout);
  dup2(2, 1);
}

// Non-printable bytes of a token text are shown as \xNN.
inline std::string shown(const char *text) {
  std::string s;
  for (const char *p = text; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c >= 0x20 && c < 0x7F) {
      s += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      s += hex;
    }
  }
  return s;
}

// The name of `token` in a token-name list (names ended by NUL, in token order).
inline std::string name_in(const char *names, int token) {
  for (int i = 0; i < token; ++i)
    names += std::strlen(names) + 1;
  return names;
}

} // namespace test_support

#endif
