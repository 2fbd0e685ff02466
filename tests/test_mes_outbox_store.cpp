// The outbox file: what goes in comes back byte for byte, in order; states,
// counts and pruning; files that cannot be used; the lock against a second
// station.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <tuple>

#include "results/MesOutboxLock.h"
#include "results/MesOutboxStore.h"
#include "tests/OutboxTestSupport.h"

namespace {

using namespace outbox_test;
using State = results::MesOutboxState;

constexpr std::time_t kNoon = 1772683200;  // 2026-03-05 12:00:00 in UTC+8

class OutboxStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "CST-8", 1);
    tzset();
  }
  ScratchFolder m_dir;
  fs::path m_file = m_dir / "outbox.db";
};

TEST_F(OutboxStoreTest, ValuesComeBackExactlyInOrderAndSurviveReopening) {
  std::int64_t first = 0, second = 0;
  {
    results::MesOutboxStore store(m_file);
    first = store.Add(Values("SN0001"), "http://mes/a", kNoon);
    second = store.Add(Values("SN0002"), "http://mes/a", kNoon + 1);
    EXPECT_LT(first, second);
    // The same pending report saved again is not stored twice; another endpoint is another report.
    EXPECT_EQ(store.Add(Values("SN0001"), "http://mes/a", kNoon + 2), first);
    EXPECT_GT(store.Add(Values("SN0001"), "http://mes/b", kNoon + 2), second);
  }
  results::MesOutboxStore store(m_file);
  const auto r = store.OldestPending();
  ASSERT_TRUE(r);
  const results::MesUploadValues v = Values("SN0001");
  const auto fields = [](const results::MesUploadValues& u) {
    return std::tie(u.strOrderNo, u.strSerialNumber, u.strMacList, u.strComponentSnList, u.strDealResult, u.strBugType,
                    u.strBugReason, u.strTempColumn, u.strWorkStation, u.strToolType, u.strRecorder, u.nSystemType,
                    u.strVersion);
  };
  EXPECT_EQ(std::tuple(r->nId, r->tCreated, r->strEndpoint), std::tuple(first, kNoon, std::string("http://mes/a")));
  EXPECT_EQ(fields(r->values), fields(v));
  store.MarkDelivered(first, kNoon + 5);
  // Delivered, the same values make a new report.
  EXPECT_GT(store.Add(Values("SN0001"), "http://mes/a", kNoon + 6), second);

  // Any SQLite reader sees a WAL database.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(m_file.c_str(), &db), SQLITE_OK);
  std::string mode;
  sqlite3_exec(
      db, "PRAGMA journal_mode", [](void* m, int, char** v, char**) { return *static_cast<std::string*>(m) = v[0], 0; },
      &mode, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(mode, "wal");
}

TEST_F(OutboxStoreTest, OutcomesAndTechnicianDecisions) {
  results::MesOutboxStore store(m_file);
  // For each starting state: whether Retry and Drop apply, and the state after.
  struct Case {
    State from;
    bool retried;
    State afterRetry;
    bool dropped;
  } cases[] = {
      {State::Pending, false, State::Pending, true},
      {State::Refused, true, State::Pending, true},
      {State::Delivered, false, State::Delivered, false},
      {State::Dropped, true, State::Pending, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(results::MesOutboxStateName(c.from));
    auto make = [&] {
      const std::int64_t id = store.Add(Values("SN" + std::to_string(rand())), "u", kNoon);
      if (c.from == State::Refused) store.MarkRefused(id, "no", kNoon);
      if (c.from == State::Delivered) store.MarkDelivered(id, kNoon);
      if (c.from == State::Dropped) store.Drop(id, kNoon);
      return id;
    };
    const std::int64_t a = make(), b = make();
    const bool retried = store.Retry(a), dropped = store.Drop(b, kNoon);  // in this order
    EXPECT_EQ(std::tuple(retried, store.Find(a)->state, dropped, store.Find(b)->state),
              std::tuple(c.retried, c.afterRetry, c.dropped, c.dropped ? State::Dropped : c.from));
  }
  EXPECT_FALSE(store.Retry(999) || store.Drop(999, kNoon));

  // A failed attempt keeps the report pending with its reason.
  const std::int64_t id = store.Add(Values("SNFAIL"), "u", kNoon);
  store.MarkFailed(id, "HTTP 503", kNoon + 9);
  const auto r = store.Find(id);
  EXPECT_EQ(std::tuple(r->state, r->nAttempts, r->tLastAttempt, r->strReason),
            std::tuple(State::Pending, 1, kNoon + 9, std::string("HTTP 503")));
}

TEST_F(OutboxStoreTest, CountsByLocalDayAndPruning) {
  results::MesOutboxStore store(m_file);
  const std::time_t midnight = kNoon - 12 * 3600;
  const std::int64_t yesterday = store.Add(Values("SN1"), "u", midnight - 10);
  store.MarkDelivered(yesterday, midnight - 1);
  store.MarkDelivered(store.Add(Values("SN2"), "u", midnight), midnight);
  store.MarkDelivered(store.Add(Values("SN3"), "u", kNoon), kNoon);
  store.MarkRefused(store.Add(Values("SN4"), "u", kNoon), "SOAP Fault", kNoon);
  store.Add(Values("SN5"), "u", midnight - 100);
  const std::int64_t dropped = store.Add(Values("SN6"), "u", kNoon);
  store.Drop(dropped, midnight - 1);

  const results::MesOutboxCounts c = store.Counts(kNoon);
  EXPECT_EQ(std::tuple(c.nPending, c.nRefused, c.nDeliveredToday), std::tuple(1, 1, 2));

  // Finished before midnight goes; pending and refused reports stay whatever their age.
  EXPECT_EQ(store.Prune(midnight), 2);
  EXPECT_FALSE(store.Find(yesterday) || store.Find(dropped));
  EXPECT_EQ(store.List().size(), 4u);
}

TEST_F(OutboxStoreTest, UnusableFilesAreRefusedWithTheirName) {
  const fs::path garbage = m_dir / "garbage.db", foreign = m_dir / "foreign.db", damaged = m_dir / "damaged.db";
  std::ofstream(garbage) << std::string(8192, 'x');
  sqlite3* db = nullptr;
  sqlite3_open(foreign.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE parts(x)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  {
    results::MesOutboxStore store(damaged);
    for (int i = 0; i < 200; ++i) store.Add(Values("SN" + std::to_string(i)), "u", kNoon);
  }  // the last close folds the WAL into the file
  {
    std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4096 * 3);
    f << std::string(4096, '\x5a');
  }
  fs::create_directory(m_dir / "folder.db");

  using Mode = results::MesOutboxStore::OpenMode;
  const std::pair<fs::path, Mode> cases[] = {{garbage, Mode::CreateIfMissing},
                                             {foreign, Mode::CreateIfMissing},
                                             {damaged, Mode::CreateIfMissing},
                                             {m_dir / "folder.db", Mode::CreateIfMissing},
                                             {m_dir / "no-such-folder" / "outbox.db", Mode::CreateIfMissing},
                                             {m_dir / "missing.db", Mode::ExistingOnly}};
  for (const auto& [file, mode] : cases) {
    try {
      results::MesOutboxStore store(file, mode);
      ADD_FAILURE() << file << " opened";
    } catch (const platform::Error& e) {
      EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
  }
  EXPECT_FALSE(fs::exists(m_dir / "missing.db"));
  EXPECT_EQ(fs::file_size(garbage), 8192u);  // nothing written into a file that is not an outbox
}

TEST_F(OutboxStoreTest, OneStationAtATime) {
  auto lockFails = [&] {
    try {
      results::MesOutboxLock second(m_file);
      return std::string();
    } catch (const platform::Error& e) {
      return std::string(e.what());
    }
  };
  {
    results::MesOutboxLock first(m_file);
    // A second opener in this process, also through a symbolic link, and in another process.
    const std::string why = lockFails();
    EXPECT_NE(why.find("already in use by another station (process " + std::to_string(getpid())), std::string::npos)
        << why;
    std::ofstream{m_file};
    fs::create_symlink(m_file, m_dir / "link.db");
    EXPECT_THROW(results::MesOutboxLock(m_dir / "link.db"), platform::Error);
    EXPECT_EQ(InChild([&] { return lockFails().empty() ? 1 : 0; }), 0);
  }
  EXPECT_EQ(lockFails(), "");  // released with its holder
}

}  // namespace
