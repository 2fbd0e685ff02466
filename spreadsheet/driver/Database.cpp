#include "spreadsheet/driver/Database.h"

#include "spreadsheet/driver/ConnectionString.h"
#include "spreadsheet/driver/FileLock.h"
#include "platform/TextCodec.h"
#include "spreadsheet/engine/SqlError.h"
#include "spreadsheet/engine/WorkbookFile.h"
#include "spreadsheet/engine/WorkbookSession.h"
#include "spreadsheet/xls/XlsError.h"

#include <atomic>
#include <cstring>

namespace platform {
namespace {

constexpr char kDriverName[] = "Monitor Excel Workbook Driver (*.xls)";

// Most cell texts are plain ASCII, which GBK holds byte for byte: those skip
// the converter.
std::string FieldToGbk(const std::u16string& value) {
    std::string out(value.size(), '\0');
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] >= 0x80)
            return Utf16ToGbk(value);
        out[i] = static_cast<char>(value[i]);
    }
    return out;
}

std::atomic<long long> g_lockWaitMs{FileLock::kDefaultWait.count()};

// Statements arrive as GBK; bytes that are not GBK would silently become
// replacement characters in the workbook, so they are refused instead.
std::u16string StatementText(const std::string& gbk) {
    std::u16string text = GbkToUtf16(gbk);
    if (text.find(u'\uFFFD') != std::u16string::npos)
        throw CDBException("The statement holds bytes that are not GBK text: \"" + gbk + "\"");
    return text;
}

// Runs `work`, turning every failure of the engine into the driver's message.
template <typename Work>
auto Guarded(Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const CDBException&) {
        throw;
    } catch (const sqlengine::SqlError& e) {
        throw CDBException(e.what());
    } catch (const xls::XlsError& e) {
        throw CDBException(e.what());
    } catch (const FileLockError& e) {
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
    if (bytesOut != nullptr)
        *bytesOut = static_cast<std::uint16_t>(needed);
    if (buf == nullptr || size < needed)
        return false;
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
        throw CDBException("Driver \"" + settings.driver + "\" is not installed; the installed driver is \"" +
                           kDriverName + "\"");
    if (!settings.firstRowHasNames)
        throw CDBException("FIRSTROWHASNAMES=0 is not supported: the first row of a worksheet always holds the column names");
    if (settings.path.empty())
        throw CDBException("No workbook named in the connection string: give DBQ=<path>");
    bool readOnly = settings.readOnly || (options & openReadOnly) != 0;
    m_pConnection = Guarded([&] { return std::make_unique<detail::Connection>(settings, readOnly); });
    m_strConnect = connect;
    return true;
}

bool CDatabase::IsOpen() const {
    return m_pConnection != nullptr;
}

static detail::Connection& Require(detail::Connection* connection) {
    if (!connection)
        throw CDBException("The connection is not open");
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
    if (!m_pConnection)
        return false;
    return Guarded([&] { return m_pConnection->Session().Commit(); });
}

bool CDatabase::Rollback() {
    if (!m_pConnection)
        return false;
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
    if (m_pDatabase == nullptr)
        throw CDBException("The result set has no connection");
    auto& connection = Require(m_pDatabase->GetConnection());
    std::u16string text = StatementText(sql);
    sqlengine::ResultTable table = Guarded([&] { return connection.Session().Select(text); });
    for (const auto& name : table.columns)
        m_aFieldNames.push_back(Utf16ToGbk(name));
    m_aRows.reserve(table.rows.size());
    for (const auto& row : table.rows) {
        std::vector<std::string> values;
        values.reserve(row.size());
        for (const auto& value : row)
            values.push_back(FieldToGbk(value));
        m_aRows.push_back(std::move(values));
    }
    m_nRow = 0;
    m_bOpen = true;
    return true;
}

void CRecordset::Close() {
    m_bOpen = false;
    m_aFieldNames.clear();
    m_aRows.clear();
    m_nRow = 0;
}

short CRecordset::GetODBCFieldCount() const {
    return static_cast<short>(m_aFieldNames.size());
}

const std::string& CRecordset::GetFieldName(short index) const {
    if (!m_bOpen)
        throw CDBException("The result set is not open");
    if (index < 0 || static_cast<std::size_t>(index) >= m_aFieldNames.size())
        throw CDBException("Column index " + std::to_string(index) + " is out of range (the result has " +
                           std::to_string(m_aFieldNames.size()) + " columns)");
    return m_aFieldNames[static_cast<std::size_t>(index)];
}

void CRecordset::GetODBCFieldInfo(short index, CODBCFieldInfo& info) const {
    info.m_strName = GetFieldName(index);
}

bool CRecordset::IsEOF() const {
    return !m_bOpen || m_nRow >= m_aRows.size();
}

bool CRecordset::IsBOF() const {
    return !m_bOpen || m_aRows.empty();
}

void CRecordset::MoveNext() {
    if (IsEOF())
        throw CDBException("Cannot move past the end of the result set");
    ++m_nRow;
}

void CRecordset::GetFieldValue(short index, std::string& value) const {
    GetFieldName(index);  // checks the index
    if (IsEOF())
        throw CDBException("No current row: the result set is at its end");
    value = m_aRows[m_nRow][static_cast<std::size_t>(index)];
}

}  // namespace platform
