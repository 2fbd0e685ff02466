// The messages CSpreadSheet leaves in m_strLastError, shared by the accessor
// and its two kinds of storage.
#pragma once

namespace spreadsheet {

inline constexpr char kErrOpenFile[] = "Error in opening file\n";
inline constexpr char kErrWriteFile[] = "Error writing file\n";
inline constexpr char kErrRollBack[] = "Error in returning to previous state\n";
inline constexpr char kErrDuplicate[] = "Duplicate header row field:%s\n";
inline constexpr char kErrFewerHeaders[] =
    "Number of columns in new header row cannot be less than the number of columns in previous header row";
inline constexpr char kErrNoHeader[] = "No header row. Add header row first\n";
inline constexpr char kErrTooWide[] = "Number of columns to be added cannot be greater than the number of fields\n";
inline constexpr char kErrAddHeaders[] = "Problems with adding headers\n";
inline constexpr char kErrColumnZero[] = "Column cannot be zero\n";
inline constexpr char kErrColumnNegative[] = "Column cannot be negative\n";
inline constexpr char kErrRowNegative[] = "Row cannot be negative\n";
inline constexpr char kErrCellTooWide[] = "Cell column to be added cannot be greater than the number of fields\n";
inline constexpr char kErrRowBeyond[] = "Desired row is greater than total number of rows in spreadsheet\n";
inline constexpr char kErrReadRow[] = "Error reading row\n";
inline constexpr char kErrColumnName[] = "Invalid field name or column alphabet\n";
inline constexpr char kErrDeleteSheet[] = "Error deleting sheet\n";
inline constexpr char kErrNotDelimited[] = "Function not available for text delimited file\n";
inline constexpr char kErrNoValues[] = "No values to replace or to match\n";
inline constexpr char kErrRowLimit[] = "Row cannot be greater than 65536 in a worksheet\n";

}  // namespace spreadsheet
