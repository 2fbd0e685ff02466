#include "monitor/ResultText.h"

#include <cstdio>

#include "platform/TextCodec.h"

namespace monitor {

void MakeUpperGbk(std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch >= 0x81 && ch <= 0xFE && i + 1 < text.size()) {
      ++i;  // skip the trail byte of a two-byte character
    } else if (ch >= 'a' && ch <= 'z') {
      text[i] = static_cast<char>(ch - 'a' + 'A');
    }
  }
}

bool ResultContains(const std::string& text, const char* word) {
  return platform::GbkFind(text, word) != std::string::npos;
}

ResultClass ClassifyResult(std::string& result) {
  MakeUpperGbk(result);
  if (ResultContains(result, "PASS")) return ResultClass::Pass;
  if (ResultContains(result, "FAIL")) return ResultClass::Fail;
  return ResultClass::Neither;
}

std::string RowNumber(int nRow) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03d", nRow);
  return buf;
}

}  // namespace monitor
