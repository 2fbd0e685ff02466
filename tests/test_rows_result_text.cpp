// Classification of result texts and row numbering.
#include <gtest/gtest.h>

#include "monitor/ResultText.h"

using monitor::ClassifyResult;
using monitor::ResultClass;

TEST(ResultText, ClassifiesByWordWithPassTestedFirst) {
  std::string pass = "pass";
  EXPECT_EQ(ClassifyResult(pass), ResultClass::Pass);
  EXPECT_EQ(pass, "PASS");  // the caller's string comes back upper-cased
  std::string fail = "Test Failed";
  EXPECT_EQ(ClassifyResult(fail), ResultClass::Fail);
  EXPECT_EQ(fail, "TEST FAILED");
  std::string both = "fail/pass";
  EXPECT_EQ(ClassifyResult(both), ResultClass::Pass);
  std::string longer = "BYPASSED";
  EXPECT_EQ(ClassifyResult(longer), ResultClass::Pass);
  std::string neither = "12.1V";
  EXPECT_EQ(ClassifyResult(neither), ResultClass::Neither);
  std::string empty;
  EXPECT_EQ(ClassifyResult(empty), ResultClass::Neither);
}

TEST(ResultText, UpperCasingLeavesChineseCharactersIntact) {
  // "\x81\x79" is a GBK character whose second byte is 'y'; "\xb2\xe2\xca\xd4" is 测试.
  std::string text = "\x81\x79 ok \xb2\xe2\xca\xd4";
  ClassifyResult(text);
  EXPECT_EQ(text, "\x81\x79 OK \xb2\xe2\xca\xd4");
  // A trailing lone lead byte is not a character: nothing to skip.
  std::string cut = "a\x81";
  monitor::MakeUpperGbk(cut);
  EXPECT_EQ(cut, "A\x81");
}

TEST(ResultText, WordsNeverMatchInsideAChineseCharacter) {
  // "\x81\x50" ends in 'P': "\x81\x50" "ASS" holds the bytes of PASS without the word.
  std::string text = "\x81\x50" "ASS";
  EXPECT_EQ(ClassifyResult(text), ResultClass::Neither);
  std::string fail = "\x81\x46" "AIL FAIL";  // "\x81\x46" ends in 'F'
  EXPECT_EQ(ClassifyResult(fail), ResultClass::Fail);
}

TEST(ResultText, RowNumbersHaveAtLeastThreeDigits) {
  EXPECT_EQ(monitor::RowNumber(0), "000");
  EXPECT_EQ(monitor::RowNumber(7), "007");
  EXPECT_EQ(monitor::RowNumber(999), "999");
  EXPECT_EQ(monitor::RowNumber(1000), "1000");
}
