// The second step of saving a unit: rebuild the log text, write it directly
// into "TestResult", derive the values and fault codes for the MES and
// report the unit.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "results/ResultStructrue.h"
#include "results/MesUploadValues.h"
#include "results/ResultRow.h"

namespace results {

// Writes "TestResult/<serial>-<yyyymmddHHMMSS>.txt" and sets panel.nResult
// as the result log does. Returns the values to upload, or nothing when the
// unit is not to be reported: serial number empty, "0" or unusable as a file
// name, the file could not be created (the operator is told), or a camera
// ("IPC_整机测试") whose result text is not "PASS".
std::optional<MesUploadValues> WriteResultSummary(ResultListSnapshot& panel, const ResultStructrue& record);

// WriteResultSummary, then one IO_UpData_Common call to the MES at
// strMesUrl with a new client. 1 when the call succeeded, 0 otherwise.
int UploadResultSummary(ResultListSnapshot& panel, const ResultStructrue* pResult, const std::string& strMesUrl);

// The same, with the values handed to `send` (true when delivered) instead of
// one direct call: the outbox commits them first.
using MesUploadSender = std::function<bool(const MesUploadValues& values, const std::string& strMesUrl)>;
int UploadResultSummary(ResultListSnapshot& panel, const ResultStructrue* pResult, const std::string& strMesUrl,
                        const MesUploadSender& send);

}  // namespace results
