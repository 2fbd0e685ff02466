// Reading and atomically replacing a workbook file.
#pragma once

#include "spreadsheet/xls/Workbook.h"

#include <functional>
#include <string>

namespace sqlengine {

// Loads the workbook at `utf8Path`; throws platform::Error naming the file and what
// is wrong with it.
xls::Workbook LoadWorkbookFile(const std::string& utf8Path);

// Writes `book` to a new file in the same folder, flushes it to the disk and
// renames it over `utf8Path` (a symbolic link is followed and kept), so the old
// workbook stays whole until the new one is complete. The new file keeps the
// old one's permissions. On failure the new file is removed and platform::Error is
// thrown; the old workbook is untouched.
void SaveWorkbookFileAtomically(const xls::Workbook& book, const std::string& utf8Path);

// Removes new files left by a writer that died before its rename. Call only
// while holding the workbook's lock.
void RemoveStaleTemporaryFiles(const std::string& utf8Path);

// Test hook: called with the new file's path after it is complete, before the
// rename. Empty by default.
void SetBeforeReplaceHookForTesting(std::function<void(const std::string& tempPath)> hook);

}  // namespace sqlengine
