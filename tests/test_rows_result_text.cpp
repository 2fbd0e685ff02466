// Result texts are GBK: upper-casing and the word search respect two-byte characters.
#include <gtest/gtest.h>

#include "monitor/ResultText.h"

using monitor::ClassifyResult;
using monitor::ResultClass;

// Upper-casing in place and the word search never touch a byte inside a
// two-byte character, whose trail byte may be a letter's code.
TEST(ResultText, ClassesAndUpperCasingRespectTwoByteCharacters) {
  const struct {
    const char* why;
    std::string text, upper;
    ResultClass expected;
  } cases[] = {
      // 0x81 with 'y', 'P' or 'F' is one character each ("\201" is 0x81); \xb2\xe2\xca\xd4 is 测试.
      {"trail bytes stay lower case", "\x81y ok \xb2\xe2\xca\xd4 pass", "\x81y OK \xb2\xe2\xca\xd4 PASS",
       ResultClass::Pass},
      {"not the word PASS", "\x81PASS", "\x81PASS", ResultClass::Neither},
      {"only the later word FAIL", "\201FAIL fail", "\201FAIL FAIL", ResultClass::Fail},
      {"PASS inside a word, tested first", "bypassed, failed", "BYPASSED, FAILED", ResultClass::Pass},
  };
  for (auto c : cases) {
    EXPECT_EQ(ClassifyResult(c.text), c.expected) << c.why;
    EXPECT_EQ(c.text, c.upper) << c.why;
  }
  std::string cut = "a\x81";  // a lone lead byte at the end is not a character
  monitor::MakeUpperGbk(cut);
  EXPECT_EQ(cut, "A\x81");
}
