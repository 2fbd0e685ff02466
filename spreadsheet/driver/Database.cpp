#include "spreadsheet/driver/Database.h"

#include "spreadsheet/driver/ConnectionString.h"
#include "spreadsheet/driver/FileLock.h"
#include "platform/TextCodec.h"
#include "spreadsheet/engine/WorkbookFile.h"
#include "spreadsheet/engine/WorkbookSession.h"
#include "platform/Error.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>

namespace spreadsheet {

using platform::GbkToUtf16;
using platform::GbkToUtf8;
using platform::Utf16ToGbk;

namespace {

constexpr char kDriverName[] = "Monitor Excel Workbook Driver (*.xls)";

// Appends the value as GBK. Most cell texts are plain ASCII, which GBK holds
// byte for byte: those skip the converter. GBK has no U+FFFD: it comes back
// as the byte 0xFF that stands for a byte that was not GBK
// (GbkWithStrayBytesMarked), so a name or value read back names the same
// cell or header when it is written again.
void AppendGbk(const std::u16string& value, std::string& out) {
  for (char16_t c : value)
    if (c >= 0x80) {
      for (std::size_t from = 0;;) {
        const std::size_t at = value.find(u'\uFFFD', from);
        out += Utf16ToGbk(std::u16string_view(value).substr(from, at == std::u16string::npos ? at : at - from));
        if (at == std::u16string::npos) return;
        out += '\xFF';
        from = at + 1;
      }
    }
  out.append(value.begin(), value.end());
}

std::string FieldToGbk(const std::u16string& value) {
  std::string out;
  AppendGbk(value, out);
  return out;
}

std::atomic<long long> g_lockWaitMs{FileLock::kDefaultWait.count()};

// Statements arrive as GBK. A byte that is not GBK (a device's stray output
// in a value) is stored as U+FFFD rather than losing the whole statement, as
// the MES upload does; callers quote texts marked with
// GbkWithStrayBytesMarked, so such a byte never joins the quote or bracket
// after it.
std::u16string StatementText(const std::string& gbk) {
  return GbkToUtf16(gbk);
}

// Runs `work`, turning every failure of the lock and the engine into the
// driver's message: the one place where the engine's errors become the
// database front's.
template <typename Work>
auto Guarded(Work&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const platform::Error& e) {
    throw CDBException(e.what());
  } catch (const std::bad_alloc&) {
    throw CDBException("Out of memory");
  } catch (const std::exception& e) {
    throw CDBException(std::string("Unexpected failure in the workbook engine: ") + e.what());
  }
}

}  // namespace

namespace detail {

// An open connection: the workbook's lock, then the engine's session on it.
class Connection {
 public:
  Connection(const ConnectionSettings& settings, bool readOnly)
      : m_lock(settings.path, std::chrono::milliseconds(g_lockWaitMs.load())),
        m_session(Prepare(settings.path), settings.createIfMissing, readOnly) {}

  sqlengine::WorkbookSession& Session() { return m_session; }

 private:
  // Runs after the lock is held: no other writer is half-way through.
  static std::string Prepare(const std::string& gbkPath) {
    std::string utf8 = GbkToUtf8(gbkPath);
    sqlengine::RemoveStaleTemporaryFiles(utf8);
    return utf8;
  }

  FileLock m_lock;
  sqlengine::WorkbookSession m_session;
};

}  // namespace detail

const char* WorkbookDriverName() {
  return kDriverName;
}

bool SQLGetInstalledDrivers(char* buf, std::uint16_t size, std::uint16_t* bytesOut) {
  const std::size_t needed = sizeof(kDriverName) + 1;  // the name, its NUL, the empty name
  if (bytesOut != nullptr) *bytesOut = static_cast<std::uint16_t>(needed);
  if (buf == nullptr || size < needed) return false;
  std::memcpy(buf, kDriverName, sizeof(kDriverName));
  buf[sizeof(kDriverName)] = '\0';
  return true;
}

// ---- CDatabase ----

CDatabase::CDatabase() = default;

CDatabase::~CDatabase() {
  Close();
}

void CDatabase::SetLockWait(std::chrono::milliseconds wait) {
  g_lockWaitMs = wait.count();
}

bool CDatabase::OpenEx(const std::string& connect, unsigned options) {
  Close();
  if (options & forceOdbcDialog)
    throw CDBException("No connection dialog can be shown: give a complete connection string");
  ConnectionSettings settings = ParseConnectionString(connect);
  if (settings.driver.empty()) {
    if (!settings.dsn.empty())
      throw CDBException("Data source \"" + settings.dsn + "\" is not defined: name the driver with DRIVER={" +
                         kDriverName + "}");
    throw CDBException("No driver named in the connection string: give DRIVER={" + std::string(kDriverName) + "}");
  }
  if (settings.driver != kDriverName)
    throw CDBException("Driver \"" + settings.driver + "\" is not installed; the installed driver is \"" + kDriverName +
                       "\"");
  if (!settings.firstRowHasNames)
    throw CDBException(
        "FIRSTROWHASNAMES=0 is not supported: the first row of a worksheet always holds the column names");
  if (settings.path.empty()) throw CDBException("No workbook named in the connection string: give DBQ=<path>");
  bool readOnly = settings.readOnly || (options & openReadOnly) != 0;
  m_pConnection = Guarded([&] { return std::make_unique<detail::Connection>(settings, readOnly); });
  m_strConnect = connect;
  return true;
}

bool CDatabase::IsOpen() const {
  return m_pConnection != nullptr;
}

static detail::Connection& Require(detail::Connection* connection) {
  if (!connection) throw CDBException("The connection is not open");
  return *connection;
}

void CDatabase::ExecuteSQL(const std::string& sql) {
  auto& connection = Require(m_pConnection.get());
  std::u16string text = StatementText(sql);
  Guarded([&] { return connection.Session().Execute(text); });
}

bool CDatabase::BeginTrans() {
  return m_pConnection && m_pConnection->Session().Begin();
}

bool CDatabase::CommitTrans() {
  if (!m_pConnection) return false;
  return Guarded([&] { return m_pConnection->Session().Commit(); });
}

bool CDatabase::Rollback() {
  if (!m_pConnection) return false;
  return Guarded([&] { return m_pConnection->Session().Rollback(); });
}

void CDatabase::Close() {
  m_pConnection.reset();
  m_strConnect.clear();
}

// ---- CRecordset ----

CRecordset::CRecordset(CDatabase* database) : m_pDatabase(database) {}

CRecordset::~CRecordset() = default;

bool CRecordset::Open(unsigned openType, const std::string& sql, unsigned /*options*/) {
  Close();
  if (openType != forwardOnly && openType != snapshot)
    throw CDBException("Only forward-only or snapshot result sets are offered; they are read-only");
  if (m_pDatabase == nullptr) throw CDBException("The result set has no connection");
  auto& connection = Require(m_pDatabase->GetConnection());
  std::u16string text = StatementText(sql);
  struct DropPartial {
    CRecordset& set;
    bool done = false;
    ~DropPartial() {
      if (!done) set.Close();
    }
  } dropPartial{*this};
  std::vector<std::u16string> columns = Guarded([&] {
    return connection.Session().Select(text, [&](const std::vector<std::u16string>& values) {
      for (const auto& value : values) {
        AppendGbk(value, m_strValues);
        if (m_strValues.size() > UINT32_MAX) throw platform::Error("The result set is larger than 4 GB");
        m_aValueEnds.push_back(static_cast<std::uint32_t>(m_strValues.size()));
      }
      ++m_nRows;
    });
  });
  for (const auto& name : columns) m_aFieldNames.push_back(FieldToGbk(name));
  dropPartial.done = true;
  m_nRow = 0;
  m_bOpen = true;
  return true;
}

bool CRecordset::OpenNamesAndCount(const std::string& sql) {
  Close();
  if (m_pDatabase == nullptr) throw CDBException("The result set has no connection");
  auto& connection = Require(m_pDatabase->GetConnection());
  std::u16string text = StatementText(sql);
  sqlengine::ResultShape shape = Guarded([&] { return connection.Session().SelectShape(text); });
  for (const auto& name : shape.columns) m_aFieldNames.push_back(FieldToGbk(name));
  m_nRows = shape.rows;
  m_nRow = m_nRows;
  m_bOpen = true;
  return true;
}

void CRecordset::Close() {
  m_bOpen = false;
  m_aFieldNames.clear();
  std::string().swap(m_strValues);
  std::vector<std::uint32_t>().swap(m_aValueEnds);
  m_nRows = 0;
  m_nRow = 0;
}

short CRecordset::GetODBCFieldCount() const {
  return static_cast<short>(m_aFieldNames.size());
}

const std::string& CRecordset::GetFieldName(short index) const {
  if (!m_bOpen) throw CDBException("The result set is not open");
  if (index < 0 || static_cast<std::size_t>(index) >= m_aFieldNames.size())
    throw CDBException("Column index " + std::to_string(index) + " is out of range (the result has " +
                       std::to_string(m_aFieldNames.size()) + " columns)");
  return m_aFieldNames[static_cast<std::size_t>(index)];
}

void CRecordset::GetODBCFieldInfo(short index, CODBCFieldInfo& info) const {
  info.m_strName = GetFieldName(index);
}

bool CRecordset::IsEOF() const {
  return !m_bOpen || m_nRow >= m_nRows;
}

bool CRecordset::IsBOF() const {
  return !m_bOpen || m_nRows == 0;
}

void CRecordset::MoveNext() {
  if (IsEOF()) throw CDBException("Cannot move past the end of the result set");
  ++m_nRow;
}

void CRecordset::GetFieldValue(short index, std::string& value) const {
  GetFieldName(index);  // checks the index
  if (IsEOF()) throw CDBException("No current row: the result set is at its end");
  std::size_t k = m_nRow * m_aFieldNames.size() + static_cast<std::size_t>(index);
  std::size_t begin = k == 0 ? 0 : m_aValueEnds[k - 1];
  value.assign(m_strValues, begin, m_aValueEnds[k] - begin);
}

}  // namespace spreadsheet
