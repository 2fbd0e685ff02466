// Result texts are GBK: upper-casing and the word search respect two-byte characters.
#include <gtest/gtest.h>

#include "monitor/ResultText.h"

using monitor::ClassifyResult;
using monitor::ResultClass;

TEST(ResultText, UpperCasingLeavesChineseCharactersIntact) {
  // "\x81\x79" is a GBK character whose second byte is 'y'; "\xb2\xe2\xca\xd4" is 测试.
  std::string text = "\x81\x79 ok \xb2\xe2\xca\xd4 pass";
  EXPECT_EQ(ClassifyResult(text), ResultClass::Pass);
  EXPECT_EQ(text, "\x81\x79 OK \xb2\xe2\xca\xd4 PASS");
  std::string cut = "a\x81";  // a lone lead byte at the end is not a character
  monitor::MakeUpperGbk(cut);
  EXPECT_EQ(cut, "A\x81");
}

TEST(ResultText, WordsNeverMatchInsideAChineseCharacter) {
  // "\x81\x50" ends in 'P', so "\x81\x50" "ASS" holds the bytes of PASS but not the word.
  std::string text =
      "\x81\x50"
      "ASS";
  EXPECT_EQ(ClassifyResult(text), ResultClass::Neither);
  std::string fail =
      "\x81\x46"
      "AIL fail";  // "\x81\x46" ends in 'F'
  EXPECT_EQ(ClassifyResult(fail), ResultClass::Fail);
  std::string bypassed = "bypassed, failed";  // PASS inside a word, tested first
  EXPECT_EQ(ClassifyResult(bypassed), ResultClass::Pass);
}

TEST(ResultText, RowNumbersHaveAtLeastThreeDigits) {
  EXPECT_EQ(monitor::RowNumber(7), "007");
  EXPECT_EQ(monitor::RowNumber(1000), "1000");
}
