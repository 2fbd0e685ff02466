// Connection strings: keys, quoting, GBK values and defaults (the accessor's own
// form is parsed by every test that connects), and malformed ones.
#include "spreadsheet/driver/ConnectionString.h"
#include "spreadsheet/driver/Database.h"

#include <gtest/gtest.h>

using spreadsheet::ParseConnectionString;

TEST(ConnectionString, KeysIgnoreCaseAndValuesKeepGbkText) {
  // A GBK path whose trail bytes include '}' (0x7D) and '{' (0x7B).
  std::string path = "/d/" + std::string("\x81\x7D\x81\x7B", 4) + ".xls";
  auto s = ParseConnectionString("driver = {X};  dbq=" + path + " ; ReadOnly=1;MaxScanRows=8;");
  EXPECT_EQ(s.driver, "X");
  EXPECT_EQ(s.path, path);
  EXPECT_TRUE(s.readOnly);
  EXPECT_FALSE(s.createIfMissing);

  auto braced = ParseConnectionString("DRIVER={a}}b;c};DBQ={/x/" + std::string("\x81\x7D", 2) + "y.xls}");
  EXPECT_EQ(braced.driver, "a}b;c");
  EXPECT_EQ(braced.path, "/x/" + std::string("\x81\x7D", 2) + "y.xls");

  // The driver's default is read-only; only CREATE_DB: that file.
  auto defaults = ParseConnectionString("CREATE_DB='/tmp/a.xls'");
  EXPECT_TRUE(defaults.readOnly);
  EXPECT_EQ(defaults.path, "/tmp/a.xls");
}

TEST(ConnectionString, MalformedStringsGiveClearErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"DRIVER={X;DBQ=a", "lacks its closing }"},
      {"DRIVER={X};garbage;DBQ=a", "\"garbage\" is not of the form KEY=value"},
      {"CREATE_DB=\"/a.xls\";DBQ=/b.xls", "name different files"},
  };
  for (const auto& [connect, expected] : cases) {
    try {
      ParseConnectionString(connect);
      ADD_FAILURE() << connect << " was accepted";
    } catch (const spreadsheet::CDBException& e) {
      EXPECT_NE(e.m_strError.find(expected), std::string::npos) << connect << ": " << e.m_strError;
    }
  }
}
