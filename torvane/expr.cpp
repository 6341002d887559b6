// Constant expressions: e1 (loosest) down to the primary e0, the entry points imm and jimm, and
// the literal form expr. Values are signed 32-bit; all arithmetic wraps modulo 2^32.
#include <cmath>
#include <cstdio>

#include "torvane.h"

namespace {

// Nesting of parentheses, unary operators and '**': bounded so that no input overflows the stack.
constexpr int max_depth = 1000;
int depth;

void enter_level() {
  if (++depth > max_depth) text_message(TEXT_FATAL_ECHO, "Expression nested too deeply\n");
}

uint32_t u(integer v) {
  return static_cast<uint32_t>(v);
}
integer s(uint32_t v) {
  return static_cast<integer>(v);
}

integer shift_left(integer a, integer b) {
  return s(u(a) << (u(b) & 31));
}

integer shift_right(integer a, integer b) {
  // Arithmetic: the sign bit is copied in.
  uint32_t n = u(b) & 31;
  return a < 0 ? s(~(~u(a) >> n)) : s(u(a) >> n);
}

// Signed division toward zero; a zero divisor yields 0 and is reported in the last pass only,
// because a label defined further down is still 0 in the earlier passes.
integer divide(integer a, integer b) {
  if (b == 0) {
    if (kel_pass == 3) text_message(TEXT_ERROR_ECHO, "Division by zero\n");
    return 0;
  }
  if (b == -1) return s(0u - u(a));
  return a / b;
}

integer power(integer a, integer b) {
  double p = std::trunc(std::pow(static_cast<double>(a), static_cast<double>(b)));
  if (!std::isfinite(p)) return 0;
  double m = std::fmod(p, 4294967296.0); // exact for every finite double
  if (m < 0) m += 4294967296.0;
  return s(static_cast<uint32_t>(m));
}

integer e2();
integer e10();

// A lone identifier or number, perhaps after one unary operator, is the most common operand. e1
// reads it through e0 and, when the token after it ends every level, returns its value at once:
// each level between e1 and e0 would have found no operator and its stop set satisfied, so
// nothing else would happen. Otherwise the primary and the operator are left pending and the
// levels run as usual, e10 applying the pending operator and going straight to e11, and e0
// handing back the pending value, so every later test and message is the same.
bool primary_pending;
integer pending_value;
int pending_unary; // a unary operator already read, with its level entered; 0 for none

// Reads the current token as an operator of the level: consumes it and returns its number.
int take_operator() {
  int op = kel_token();
  scan_();
  return op;
}

integer apply_unary(int op, integer r) {
  switch (op) {
  case T_PLUS:
    return r;
  case T_MINUS:
    return s(0u - u(r));
  case T_TILDE:
    return ~r;
  default:
    return r == 0;
  }
}

} // namespace

integer e1() {
  // e1 ::= e2 [ ( '>' | '<' | '>=' | '<=' | '==' | '!=' ) e2 ]
  int unary = 0;
  if (scan_test_set(nullptr, &kel_e10_op_first, nullptr)) {
    unary = take_operator();
    enter_level();
  }
  if (kel_token() == SCAN_P_ID || kel_token() == SCAN_P_INTEGER) {
    const integer primary = e0();
    if (scan_test_set(nullptr, &kel_e1_pass_first, nullptr)) {
      if (unary == 0) return primary;
      depth--;
      return apply_unary(unary, primary);
    }
    primary_pending = true;
    pending_value = primary;
  }
  pending_unary = unary;
  integer v = e2();
  if (scan_test_set(nullptr, &kel_e1_op_first, nullptr)) {
    int op = take_operator();
    integer r = e2();
    switch (op) {
    case T_GT:
      v = v > r;
      break;
    case T_LT:
      v = v < r;
      break;
    case T_GE:
      v = v >= r;
      break;
    case T_LE:
      v = v <= r;
      break;
    case T_EQ:
      v = v == r;
      break;
    default:
      v = v != r;
      break;
    }
  }
  scan_test_set(nullptr, &e1_stop, &e1_stop);
  return v;
}

namespace {

integer e9();
integer e8();
integer e7();
integer e6();
integer e5();
integer e4();
integer e3();

integer e2() {
  // e2 ::= e3 { '||' e3 }
  integer v = e3();
  while (scan_test(nullptr, T_BARBAR, nullptr)) {
    scan_();
    integer r = e3();
    v = v != 0 || r != 0;
  }
  scan_test_set(nullptr, &e2_stop, &e2_stop);
  return v;
}

integer e3() {
  // e3 ::= e4 { '&&' e4 }
  integer v = e4();
  while (scan_test(nullptr, T_AMPAMP, nullptr)) {
    scan_();
    integer r = e4();
    v = v != 0 && r != 0;
  }
  scan_test_set(nullptr, &e3_stop, &e3_stop);
  return v;
}

integer e4() {
  // e4 ::= e5 { '^' e5 }
  integer v = e5();
  while (scan_test(nullptr, T_CARET, nullptr)) {
    scan_();
    v ^= e5();
  }
  scan_test_set(nullptr, &e4_stop, &e4_stop);
  return v;
}

integer e5() {
  // e5 ::= e6 { '|' e6 }
  integer v = e6();
  while (scan_test(nullptr, T_BAR, nullptr)) {
    scan_();
    v |= e6();
  }
  scan_test_set(nullptr, &e5_stop, &e5_stop);
  return v;
}

integer e6() {
  // e6 ::= e7 { '&' e7 }
  integer v = e7();
  while (scan_test(nullptr, T_AMP, nullptr)) {
    scan_();
    v &= e7();
  }
  scan_test_set(nullptr, &e6_stop, &e6_stop);
  return v;
}

integer e7() {
  // e7 ::= e8 { ( '<<' | '>>' ) e8 }
  integer v = e8();
  while (scan_test_set(nullptr, &kel_e7_op_first, nullptr)) {
    int op = take_operator();
    integer r = e8();
    v = op == T_SHL ? shift_left(v, r) : shift_right(v, r);
  }
  scan_test_set(nullptr, &e7_stop, &e7_stop);
  return v;
}

integer e8() {
  // e8 ::= e9 { ( '+' | '-' ) e9 }
  integer v = e9();
  while (scan_test_set(nullptr, &kel_e8_op_first, nullptr)) {
    int op = take_operator();
    integer r = e9();
    v = op == T_PLUS ? s(u(v) + u(r)) : s(u(v) - u(r));
  }
  scan_test_set(nullptr, &e8_stop, &e8_stop);
  return v;
}

integer e9() {
  // e9 ::= e10 { ( '*' | '/' ) e10 }
  integer v = e10();
  while (scan_test_set(nullptr, &kel_e9_op_first, nullptr)) {
    int op = take_operator();
    integer r = e10();
    v = op == T_STAR ? s(u(v) * u(r)) : divide(v, r);
  }
  scan_test_set(nullptr, &e9_stop, &e9_stop);
  return v;
}

integer e11() {
  // e11 ::= e0 [ '**' e10 ]
  integer v = e0();
  if (scan_test(nullptr, T_STARSTAR, nullptr)) {
    scan_();
    enter_level();
    v = power(v, e10());
    depth--;
  }
  scan_test_set(nullptr, &e11_stop, &e11_stop);
  return v;
}

integer e10() {
  // e10 ::= '+' e10 | '-' e10 | '~' e10 | '!' e10 | e11
  integer v = 0;
  if (pending_unary != 0) { // taken by e1, its level entered
    const int op = pending_unary;
    pending_unary = 0;
    v = apply_unary(op, e10());
    depth--;
  } else if (primary_pending) {
    v = e11(); // the pending primary began with a token of e0_first
  } else if (scan_test_set(nullptr, &kel_e10_op_first, nullptr)) {
    int op = take_operator();
    enter_level();
    integer r = e10();
    depth--;
    v = apply_unary(op, r);
  } else if (scan_test_set(nullptr, &e0_first, nullptr)) {
    v = e11();
  } else {
    scan_test_set(nullptr, &e1_first, &e10_stop);
  }
  scan_test_set(nullptr, &e10_stop, &e10_stop);
  return v;
}

} // namespace

integer e0() {
  // e0 ::= ID | INTEGER | 'true' | 'false' | 'null' | '(' e2 ')'
  if (primary_pending) { // read and tested by e1 already
    primary_pending = false;
    return pending_value;
  }
  integer v = 0;
  switch (kel_token()) {
  case SCAN_P_ID: {
    char *name = text_scan_data->id;
    scan_();
    torvane_data_node *record = kel_find_label(name);
    if (record != nullptr)
      v = record->val;
    else if (kel_pass == 3)
      text_message(TEXT_ERROR_ECHO, "Undefined symbol '%s'\n", name);
    break;
  }
  case SCAN_P_INTEGER:
    v = s(text_scan_data->data.u);
    scan_();
    break;
  case T_TRUE:
    v = 1;
    scan_();
    break;
  case T_FALSE:
  case T_NULL:
    scan_();
    break;
  case T_LPAR:
    scan_();
    enter_level();
    v = e2();
    depth--;
    scan_test(nullptr, T_RPAR, &e0_stop);
    scan_();
    break;
  default:
    scan_test_set(nullptr, &e0_first, &e0_stop);
    break;
  }
  scan_test_set(nullptr, &e0_stop, &e0_stop);
  return v;
}

integer imm() {
  // imm ::= e1, which may be followed by '(' (a base register)
  integer v = e1();
  scan_test_set(nullptr, &imm_stop, &imm_stop);
  return v;
}

integer jimm() {
  // jimm ::= e1
  integer v = e1();
  scan_test_set(nullptr, &jimm_stop, &jimm_stop);
  return v;
}

namespace {

// Operation codes of the expr form, by operator token.
int operation_code(int token) {
  switch (token) {
  case T_GT:
    return 100;
  case T_LT:
    return 101;
  case T_EQ:
    return 102;
  case T_GE:
    return 103;
  case T_LE:
    return 104;
  case T_NE:
    return 105;
  case T_BARBAR:
    return 106;
  case T_AMPAMP:
    return 107;
  case T_CARET:
    return 108;
  case T_BAR:
    return 109;
  case T_AMP:
    return 110;
  case T_SHL:
    return 111;
  case T_SHR:
    return 112;
  case T_PLUS:
    return 113;
  case T_MINUS:
    return 114;
  case T_STAR:
    return 115;
  case T_SLASH:
    return 116;
  case T_AT:
    return 666;
  default:
    return 0;
  }
}

} // namespace

integer expr() {
  // expr ::= '(#' INTEGER ')' [ operator ] INTEGER
  scan_test(nullptr, T_LPAR_HASH, &expr_stop);
  scan_();
  scan_test(nullptr, SCAN_P_INTEGER, &expr_stop);
  integer first = s(text_scan_data->data.u);
  scan_();
  scan_test(nullptr, T_RPAR, &expr_stop);
  scan_();
  int code = 0; // no operator: operation_def rejects the code
  if (scan_test_set(nullptr, &kel_expr_op_first, nullptr)) code = operation_code(take_operator());
  scan_test(nullptr, SCAN_P_INTEGER, &expr_stop);
  integer second = s(text_scan_data->data.u);
  scan_();
  integer v = operation_def(code, first, second);
  scan_test_set(nullptr, &expr_stop, &expr_stop);
  return v;
}

int operation_def(int operation_code, int op1, int op2) {
  switch (operation_code) {
  case 100:
    return op1 > op2;
  case 101:
    return op1 < op2;
  case 102:
    return op1 == op2;
  case 103:
    return op1 >= op2;
  case 104:
    return op1 <= op2;
  case 105:
    return op1 != op2;
  case 106:
    return op1 != 0 || op2 != 0;
  case 107:
    return op1 != 0 && op2 != 0;
  case 108:
    return op1 ^ op2;
  case 109:
    return op1 | op2;
  case 110:
    return op1 & op2;
  case 111:
    return shift_left(op1, op2);
  case 112:
    return shift_right(op1, op2);
  case 113:
    return s(u(op1) + u(op2));
  case 114:
    return s(u(op1) - u(op2));
  case 115:
    return s(u(op1) * u(op2));
  case 116:
    return divide(op1, op2);
  case 666:
    return 0x666;
  default:
    std::fputs("unexpected code\n", stdout);
    return 0;
  }
}
