// The first step of saving a unit: decide the list's verdict and write the
// unit's result log into "TestResult/<yyyymmdd>/<serial>-<yyyymmddHHMMSS>.txt"
// below the executable's directory.
#pragma once

#include "results/ResultStructrue.h"
#include "results/ResultRow.h"

namespace results {

// Works on a list's state read out beforehand; panel.nResult receives the
// verdict. Returns 1 when the file was written, 0 otherwise (serial number
// empty, "0" or unusable as a file name, file not created or not written).
int WriteResultLog(ResultListSnapshot& panel, const ResultStructrue* pResult);

}  // namespace results
