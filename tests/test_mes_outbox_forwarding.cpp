// The outbox against the loopback MES double: the MES down and up again, a
// reply lost after the call was stored, a refusal, a client killed in the
// middle of a call, a gone endpoint, a full disk.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "platform/MessageBox.h"
#include "results/MesOutbox.h"
#include "results/MesOutboxSwitch.h"
#include "tests/MesDouble.h"
#include "tests/OutboxTestSupport.h"
#include "tests/support/LoopbackListener.h"
#include "tools/mes-outbox/MesOutboxCommand.h"

namespace {

using namespace outbox_test;
using results_test::MesDouble;
using Outcome = results::MesDeliveryOutcome;

// A worker that retries at once and looks often, or (idle) looks once at start and then stays out of the way.
results::MesForwarderOptions Quick(bool idle = false, int socketTimeoutMs = 2000) {
  results::MesForwarderOptions o;
  o.firstBackoff = idle ? std::chrono::hours(1) : std::chrono::milliseconds(20);
  o.maxBackoff = std::chrono::milliseconds(100);
  o.idleCheck = idle ? std::chrono::hours(1) : std::chrono::milliseconds(50);
  o.nWorkerSocketTimeoutMs = socketTimeoutMs;
  return o;
}
results::MesForwarderOptions Idle() {
  return Quick(true);
}

std::string Serial(int i) {
  return "SN2603050" + std::to_string(100 + i);
}

std::string Command(std::vector<std::string> args, int expectedStatus) {
  std::ostringstream out, err;
  EXPECT_EQ(RunMesOutboxCommand(args, out, err), expectedStatus) << err.str();
  return out.str() + err.str();
}

TEST(MesOutboxForwarding, ReportsMadeWhileTheMesIsDownAndAlongsideTheWorkerArriveOnceInOrder) {
  ScratchFolder dir;
  MesDouble mes;
  mes.SetAnswer(MesDouble::Answer::Unavailable503);
  results::MesOutbox outbox(dir / "outbox.db", Quick());
  std::vector<std::string> made;
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(outbox.DeliverThrough(outbox.Commit(Values(made.emplace_back(Serial(i))), mes.Url())), Outcome::Failed);
  mes.SetAnswer(MesDouble::Answer::Ok);
  ASSERT_TRUE(Eventually([&] { return outbox.Counts().nPending == 0; }));  // the worker alone
  EXPECT_EQ(mes.StoredSerials(), made);

  // Saves sending their own reports and the worker together keep the order too.
  for (int i = 20; i < 40; ++i) {
    const std::int64_t id = outbox.Commit(Values(made.emplace_back(Serial(i))), mes.Url());
    if (i % 3 == 0) EXPECT_EQ(outbox.DeliverThrough(id), Outcome::Delivered);
    outbox.Forwarder().Wake();
  }
  ASSERT_TRUE(Eventually([&] { return outbox.Counts().nPending == 0; }));
  EXPECT_EQ(mes.StoredSerials(), made);
  EXPECT_EQ(outbox.Counts().nDeliveredToday, 40);
}

// A reply lost after the MES stored the call cannot be told from a call that
// never arrived (the judgement table): the report is sent again. Delivery is
// at least once; a station killed while waiting shows it.
TEST(MesOutboxForwarding, AReportOfAStationKilledDuringItsUploadIsSentByTheNextRun) {
  ScratchFolder dir;
  MesDouble mes;
  mes.SetAnswer(MesDouble::Answer::Silent);
  const pid_t station = fork();
  if (station == 0) {
    results::MesOutbox outbox(dir / "outbox.db", Idle());
    outbox.DeliverThrough(outbox.Commit(Values(Serial(7)), mes.Url()));
    _exit(3);  // not reached: killed while waiting for the reply
  }
  ASSERT_TRUE(Eventually([&] { return !mes.Uploads().empty(); }));
  kill(station, SIGKILL);
  waitpid(station, nullptr, 0);
  mes.SetAnswer(MesDouble::Answer::Ok);
  results::MesOutbox nextRun(dir / "outbox.db", Quick());  // the lock went with the killed process
  ASSERT_TRUE(Eventually([&] { return nextRun.Counts().nDeliveredToday == 1; }));
  // The killed attempt had reached the MES too.
  EXPECT_EQ(mes.StoredSerials(), (std::vector<std::string>{Serial(7), Serial(7)}));
}

TEST(MesOutboxForwarding, ARefusedReportIsParkedUntilATechnicianRetriesIt) {
  ScratchFolder dir;
  const std::string file = (dir / "outbox.db").string();
  MesDouble mes;
  results::MesOutbox outbox(file, Quick());
  mes.SetAnswer(MesDouble::Answer::Fault500);
  const std::int64_t refused = outbox.Commit(Values(Serial(1)), mes.Url());
  EXPECT_EQ(outbox.DeliverThrough(refused), Outcome::Refused);
  EXPECT_EQ(outbox.Counts().nRefused, 1);

  // The next report goes past it; the worker, having passed it, never resends it.
  mes.SetAnswer(MesDouble::Answer::Ok);
  outbox.Commit(Values(Serial(2)), mes.Url());
  ASSERT_TRUE(Eventually([&] { return outbox.Counts().nDeliveredToday == 1; }));
  EXPECT_EQ(mes.Uploads().size(), 2u);
  EXPECT_EQ(mes.StoredSerials(), (std::vector<std::string>{Serial(2)}));

  const std::string listed = Command({"list", file}, 0);  // delivered reports are not listed by default
  EXPECT_TRUE(listed.find(Serial(1) + "\tPASS") != std::string::npos && listed.find(Serial(2)) == std::string::npos &&
              listed.find("SOAP Fault Server: database down") != std::string::npos)
      << listed;
  Command({"retry", file, std::to_string(refused)}, 0);
  ASSERT_TRUE(Eventually([&] { return outbox.Counts().nDeliveredToday == 2; }));
  EXPECT_EQ(mes.StoredSerials(), (std::vector<std::string>{Serial(2), Serial(1)}));

  // Wrong uses say what is wrong and change nothing.
  EXPECT_NE(Command({"retry", file, std::to_string(refused)}, 1).find("is delivered"), std::string::npos);
  EXPECT_NE(Command({"drop", file, "99"}, 1).find("does not exist"), std::string::npos);
  for (const auto& wrong : std::vector<std::vector<std::string>>{
           {"drop", file, "x1"}, {"list", file, "lost"}, {"retry", file}, {"list", (dir / "none.db").string()}})
    Command(wrong, 2);
  EXPECT_FALSE(fs::exists(dir / "none.db"));
}

TEST(MesOutboxForwarding, AnEndpointThatIsGoneHoldsUpOnlyItsOwnReports) {
  ScratchFolder dir;
  MesDouble mes;
  const std::string gone =
      "http://127.0.0.1:" + std::to_string(testsupport::FreeLoopbackPort()) + "/querysn/cs_querysn.asmx";
  results::MesOutbox outbox(dir / "outbox.db", Quick());
  const std::int64_t old1 = outbox.Commit(Values(Serial(1)), gone);
  EXPECT_EQ(outbox.DeliverThrough(outbox.Commit(Values(Serial(2)), mes.Url())), Outcome::Delivered);
  outbox.Commit(Values(Serial(3)), gone);
  outbox.Commit(Values(Serial(4)), mes.Url());  // not held up by the older report for the gone endpoint
  EXPECT_EQ(outbox.DeliverThrough(outbox.Commit(Values(Serial(5)), mes.Url())), Outcome::Delivered);
  results::MesOutboxStore look(dir / "outbox.db");
  ASSERT_TRUE(Eventually([&] { return look.Find(old1)->nAttempts >= 2; }));  // retried, still waiting
  EXPECT_EQ(mes.StoredSerials(), (std::vector<std::string>{Serial(2), Serial(4), Serial(5)}));
  EXPECT_EQ(outbox.Counts().nPending, 2);
}

TEST(MesOutboxForwarding, ClosingDuringAnUnansweredCallKeepsTheReportPending) {
  ScratchFolder dir;
  MesDouble mes;
  mes.SetAnswer(MesDouble::Answer::Silent);
  const results::MesForwarderOptions o = Quick(false, 300);
  {
    results::MesOutbox outbox(dir / "outbox.db", o);
    outbox.Commit(Values(Serial(1)), mes.Url());
    outbox.Forwarder().Wake();
    ASSERT_TRUE(Eventually([&] { return !mes.Uploads().empty(); }));
  }  // the worker ends with the waiting call
  EXPECT_EQ(results::MesOutboxStore(dir / "outbox.db").Counts(std::time(nullptr)).nPending, 1);
}

TEST(MesOutboxForwarding, ASaveSendsABoundedBacklogAndLeavesTheRestToTheWorker) {
  ScratchFolder dir;
  MesDouble mes;
  results::MesForwarderOptions o = Idle();
  o.nForegroundBacklog = 3;
  results::MesOutbox outbox(dir / "outbox.db", o);
  std::vector<std::string> made;
  mes.SetAnswer(MesDouble::Answer::Unavailable503);  // should the worker look meanwhile
  for (int i = 0; i < 5; ++i) outbox.Commit(Values(made.emplace_back(Serial(i))), mes.Url());
  mes.SetAnswer(MesDouble::Answer::Ok);
  EXPECT_EQ(outbox.DeliverThrough(outbox.Commit(Values(made.emplace_back(Serial(5))), mes.Url())), Outcome::Failed);
  EXPECT_EQ(mes.StoredSerials().size(), 3u);
  ASSERT_TRUE(Eventually([&] { return outbox.Counts().nPending == 0; }));  // woken by the save
  EXPECT_EQ(mes.StoredSerials(), made);
}

// The file size limit makes the outbox's writes fail (EFBIG) as a full disk
// does; the limit holds for the whole process, so a child saves.
TEST(MesOutboxForwarding, AnOutboxThatCannotBeWrittenAnyMoreIsReportedOnceAndUploadsGoOnDirectly) {
  ScratchFolder dir;
  MesDouble mes;
  const pid_t station = fork();
  if (station == 0) {
    int messages = 0;
    platform::SetMessageBoxHandler([&](const std::string&, unsigned) { return ++messages; });
    MesOutboxSwitch outbox(Idle());
    const std::string file = (dir / "outbox.db").string();
    if (!outbox.Upload(file, Values(Serial(1)), mes.Url())) _exit(2);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    for (int i = 2; i <= 3; ++i) {
      if (!outbox.Upload(file, Values(Serial(i) + std::string(8000, 'x')), mes.Url())) _exit(4);
    }
    results::MesOutboxCounts counts;
    _exit(messages == 1 && outbox.Use(file) == nullptr && !outbox.Counts(file, &counts) ? 0 : 5);
  }
  int status = -1;
  waitpid(station, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(mes.StoredSerials(), (std::vector<std::string>{Serial(1), Serial(2) + std::string(8000, 'x'),
                                                           Serial(3) + std::string(8000, 'x')}));
}

}  // namespace
