// Connection strings as the spreadsheet accessor builds them, and malformed ones.
#include "platform/ConnectionString.h"
#include "platform/Database.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

using platform::CDBException;
using platform::ParseConnectionString;

namespace {

std::string ErrorOf(const std::string& connect) {
    try {
        ParseConnectionString(connect);
    } catch (const CDBException& e) {
        return e.m_strError;
    }
    return "(no error)";
}

}  // namespace

TEST(ConnectionString, TheAccessorsForm) {
    auto s = ParseConnectionString(
        "DRIVER={Monitor Excel Workbook Driver (*.xls)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;"
        "CREATE_DB=\"/data/PCB.xls\";DBQ=/data/PCB.xls");
    EXPECT_EQ(s.driver, "Monitor Excel Workbook Driver (*.xls)");
    EXPECT_EQ(s.dsn, "");
    EXPECT_EQ(s.path, "/data/PCB.xls");
    EXPECT_TRUE(s.createIfMissing);
    EXPECT_FALSE(s.readOnly);
    EXPECT_TRUE(s.firstRowHasNames);
}

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
    EXPECT_NE(ErrorOf("DRIVER={X;DBQ=a").find("lacks its closing }"), std::string::npos);
    EXPECT_NE(ErrorOf("DRIVER={X}y;DBQ=a").find("unexpected text after the value of DRIVER"), std::string::npos);
    EXPECT_NE(ErrorOf("DRIVER={X};garbage;DBQ=a").find("\"garbage\" is not of the form KEY=value"), std::string::npos);
    EXPECT_NE(ErrorOf("DBQ=a;dbq=b").find("DBQ is given twice"), std::string::npos);
    EXPECT_NE(ErrorOf("=a").find("a value without a key"), std::string::npos);
    EXPECT_NE(ErrorOf("READONLY=maybe").find("READONLY must be TRUE or FALSE"), std::string::npos);
    EXPECT_NE(ErrorOf("CREATE_DB=\"/a.xls\";DBQ=/b.xls").find("name different files"), std::string::npos);
    EXPECT_NE(ErrorOf("CREATE_DB=\"\"").find("CREATE_DB names no file"), std::string::npos);
    EXPECT_NE(ErrorOf("DBQ=\"/a.xls").find("Malformed connection string"), std::string::npos);
}
