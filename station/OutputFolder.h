// The station's output folder. The module writes its logs below the
// directory of the running executable ("TestResult") and appends to PCB.xls
// there, so the station runs from a copy of itself placed in the output
// folder: everything one run leaves behind is in that one folder.
#pragma once

#include <stdexcept>
#include <string>

namespace station {

class SetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Directory of the running executable (/proc/self/exe resolved).
std::string ExecutableDirectory();

// Creates the folder (and its parents) and proves it writable; returns its
// absolute path. Throws SetupError with what to do.
std::string PrepareOutputFolder(const std::string& strFolder);

// When the executable does not run from strFolder yet: copies it there as
// monitor-station and replaces this process with the copy (same arguments).
// Returns only when already running from strFolder. Throws SetupError.
void RunFromOutputFolder(const std::string& strFolder, char** argv);

enum class WorkbookState { Present, MadeFromTemplate, Replaced };

// Makes sure strFolder/PCB.xls is an Excel 97-2003 workbook: copies the
// template when there is none (or when bFresh, keeping the old file as
// PCB.xls.<time>.bak). Throws SetupError for a PCB.xls that is not a
// workbook or a template that cannot be copied.
WorkbookState ProvideWorkbook(const std::string& strFolder, const std::string& strTemplate, bool bFresh,
                              std::string& strBackup);

// True when the file starts like a compound file (the container of .xls).
bool LooksLikeXlsWorkbook(const std::string& strPath);

}  // namespace station
