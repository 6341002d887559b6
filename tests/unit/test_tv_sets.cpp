// The grammar's first and stop sets, checked member by member against the token names they
// are meant to hold.
#include <gtest/gtest.h>

#include <string>

#include "textio.h"
#include "torvane.h"

namespace {

std::string names_of(set_ *set) {
  testing::internal::CaptureStdout();
  set_print_set(set, kel_tokens, 0);
  return testing::internal::GetCapturedStdout();
}

class GrammarSets : public testing::Test {
protected:
  void SetUp() override {
    text_init(35000, 25, 100, 8);
    kel_set_initialise();
  }
};

const std::string registers =
    "'$0', '$1', '$10', '$11', '$12', '$13', '$14', '$15', '$16', '$17', '$18', '$19', '$2', "
    "'$20', '$21', '$22', '$23', '$24', '$25', '$26', '$27', '$28', '$29', '$3', '$30', '$31', "
    "'$4', '$5', '$6', '$7', '$8', '$9', '$fp', '$sp'";

TEST_F(GrammarSets, ExpressionStopSetsShrinkLevelByLevel) {
  struct {
    set_ *set;
    const char *members;
  } cases[] = {
      {&e0_stop, "EOF, EOLN, '!=', '&', '&&', '(', ')', '*', '**', '+', '-', '/', '0', '<', '<<', "
                 "'<=', '==', '>', '>=', '>>', '^', '|', '||'"},
      {&e10_stop, "EOF, EOLN, '!=', '&', '&&', '(', ')', '*', '+', '-', '/', '0', '<', '<<', '<=', "
                  "'==', '>', '>=', '>>', '^', '|', '||'"},
      {&e11_stop, "EOF, EOLN, '!=', '&', '&&', '(', ')', '*', '+', '-', '/', '0', '<', '<<', '<=', "
                  "'==', '>', '>=', '>>', '^', '|', '||'"},
      {&e9_stop, "EOF, EOLN, '!=', '&', '&&', '(', ')', '+', '-', '0', '<', '<<', '<=', '==', '>', "
                 "'>=', '>>', '^', '|', '||'"},
      {&e8_stop, "EOF, EOLN, '!=', '&', '&&', '(', ')', '0', '<', '<<', '<=', '==', '>', '>=', "
                 "'>>', '^', '|', '||'"},
      {&e7_stop, "EOF, EOLN, '!=', '&', '&&', '(', ')', '0', '<', '<=', '==', '>', '>=', '^', '|', "
                 "'||'"},
      {&e6_stop,
       "EOF, EOLN, '!=', '&&', '(', ')', '0', '<', '<=', '==', '>', '>=', '^', '|', '||'"},
      {&e5_stop, "EOF, EOLN, '!=', '&&', '(', ')', '0', '<', '<=', '==', '>', '>=', '^', '||'"},
      {&e4_stop, "EOF, EOLN, '!=', '&&', '(', ')', '0', '<', '<=', '==', '>', '>=', '||'"},
      {&e3_stop, "EOF, EOLN, '!=', '(', ')', '0', '<', '<=', '==', '>', '>=', '||'"},
      {&e2_stop, "EOF, EOLN, '!=', '(', ')', '0', '<', '<=', '==', '>', '>='"},
      {&e1_stop, "EOF, EOLN, '(', '0'"},
      {&imm_stop, "EOF, EOLN, '(', '0'"},
      {&jimm_stop, "EOF, EOLN"},
      {&expr_stop, "EOF, EOLN"},
      {&e0_first, "ID, INTEGER, '(', 'false', 'null', 'true'"},
      {&e1_first, "ID, INTEGER, '!', '(', '+', '-', 'false', 'null', 'true', '~'"},
      {&imm_first, "ID, INTEGER, '!', '(', '+', '-', 'false', 'null', 'true', '~'"},
      {&jimm_first, "ID, INTEGER, '!', '(', '+', '-', 'false', 'null', 'true', '~'"},
      {&kel_directive_2_first, "ID, INTEGER, '!', '(', '+', '-', 'false', 'null', 'true', '~'"},
      {&kel_expr_op_first, "'!=', '&', '&&', '*', '+', '-', '/', '<', '<<', '<=', '==', '>', '>=', "
                           "'>>', '@', '^', '|', '||'"},
      // What ends a lone operand at every level at once: in every stop set, no operator.
      {&kel_e1_pass_first, "EOF, EOLN, '(', '0'"},
  };
  for (auto &c : cases)
    EXPECT_EQ(names_of(c.set), c.members);
}

TEST_F(GrammarSets, LineAndOperandSets) {
  EXPECT_EQ(names_of(&unit_stop), "EOF");
  EXPECT_EQ(names_of(&label_stop), "EOF, ':'");
  EXPECT_EQ(names_of(&instr_stop), "EOF, EOLN");
  EXPECT_EQ(names_of(&directive_stop), "EOF, EOLN");
  EXPECT_EQ(names_of(&command_stop), "EOF, EOLN");
  EXPECT_EQ(names_of(&string_stop), "EOF, EOLN, ')'");
  EXPECT_EQ(names_of(&reg_stop), "EOF, EOLN, ')', ','");
  EXPECT_EQ(names_of(&kel_code_2_first), "ID, '$'");
  EXPECT_EQ(names_of(&reg_first), registers);
  EXPECT_EQ(names_of(&kel_reg_34_first), registers);
  EXPECT_EQ(names_of(&directive_first),
            "'.align', '.blockb', '.blockh', '.blockw', '.byte', '.data', '.end', '.equ', "
            "'.half', '.include', '.string', '.text', '.word'");
  EXPECT_EQ(names_of(&kel_command_immtest_first),
            "ID, INTEGER, '!', '(', '(#', '+', '-', 'false', 'null', 'true', '~'");
  EXPECT_EQ(names_of(&kel_command_target_first),
            "ID, INTEGER, '!', '$', '(', '+', '-', 'false', 'null', 'true', '~'");
}

TEST_F(GrammarSets, LineStartsAreIdentifierLineEndDollarDirectivesAndMnemonics) {
  EXPECT_EQ(set_cardinality(&unit_first), 100u);
  EXPECT_EQ(set_cardinality(&code_first), 100u);
  EXPECT_EQ(set_cardinality(&code_stop), 101u);
  EXPECT_EQ(set_cardinality(&instr_first), 97u);
  EXPECT_EQ(set_cardinality(&kel_code_4_first), 97u);
  EXPECT_EQ(set_cardinality(&command_first), 84u);
  EXPECT_EQ(set_cardinality(&kel_instr_0_first), 84u);
  EXPECT_EQ(set_cardinality(&kel_instr_1_first), 13u);
  // Every identifier-shaped keyword but the constant words and the compiler marker is a mnemonic.
  for (int token = SCAN_P_TOP; token < T_TOKEN_COUNT_; token++) {
    const char *spelling = kel_keywords[token - SCAN_P_TOP].spelling;
    bool word = spelling[0] >= 'a' && spelling[0] <= 'z';
    bool constant =
        token == T_TRUE || token == T_FALSE || token == T_NULL || token == T_GCC2_COMPILED;
    EXPECT_EQ(set_includes_element(&command_first, token) != 0, word && !constant) << spelling;
  }
  for (int token :
       {static_cast<int>(SCAN_P_ID), static_cast<int>(SCAN_P_EOLN), static_cast<int>(T_DOLLAR)}) {
    EXPECT_TRUE(set_includes_element(&code_first, token));
    EXPECT_TRUE(set_includes_element(&code_stop, token));
  }
  EXPECT_TRUE(set_includes_element(&code_stop, SCAN_P_EOF));
  EXPECT_FALSE(set_includes_element(&code_first, SCAN_P_EOF));
}

} // namespace
