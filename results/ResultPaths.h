// Where a unit's result logs go, and which serial numbers can name a file.
#pragma once

#include <string>

namespace results {

// The savers skip a list whose serial number is empty or "0".
bool IsSerialNumberSet(const std::string& strSerialNumber);

// A serial number names a file inside its folder only when it holds no "/",
// no "\", no ".." and no control character. A 0x5C byte that is the second
// byte of a two-byte GBK character is part of that character, not a "\".
bool IsSerialNumberSafeForFileName(const std::string& strSerialNumber);

// "<exe dir>/TestResult"; asks the executable directory afresh.
std::string TestResultDirectory();

// "<folder>/<serial>-<time>.txt", folder given without its trailing "/".
std::string ResultLogFilePath(const std::string& strFolder, const std::string& strSerialNumber,
                              const std::string& strTime);

// The message shown when a log file cannot be created.
const std::string& SaveFileFailedMessage();

}  // namespace results
