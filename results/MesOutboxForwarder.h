// Sends the outbox's pending reports to the MES, oldest first, one at a time
// (the order holds per endpoint: a report waits only for older ones made for
// the same MES, so reports for an endpoint gone for good hold up no others).
// Two senders share it: the thread that saves units (DeliverThrough, before
// and including its new report) and a background worker with its own
// database connection and client, which retries with a back-off while the
// outbox is open. One mutex keeps a single delivery in flight, so the MES
// sees the reports in the order they were made; the saving thread goes first
// whenever it waits.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "results/MesDelivery.h"

namespace results {

class MesOutboxStore;

struct MesForwarderOptions {
  std::chrono::milliseconds firstBackoff{2000};  // after the first failed attempt
  std::chrono::milliseconds maxBackoff{std::chrono::minutes(5)};
  std::chrono::milliseconds idleCheck{std::chrono::seconds(30)};  // looks again when nothing was pending
  int nForegroundBacklog = 50;  // older reports a save sends at most; then its own waits for the worker
  std::time_t nKeepFinishedSeconds = 7 * 24 * 3600;  // delivered and dropped reports are kept this long
  int nWorkerSocketTimeoutMs = 0;                    // the worker's socket waits (0: the client's); bounds a Stop
};

class MesOutboxForwarder {
 public:
  MesOutboxForwarder(std::filesystem::path file, MesForwarderOptions options = {});
  ~MesOutboxForwarder();  // Stop()
  MesOutboxForwarder(const MesOutboxForwarder&) = delete;
  MesOutboxForwarder& operator=(const MesOutboxForwarder&) = delete;

  // Starts the worker; it sends what is pending at once (reports of an
  // earlier run included).
  void Start();
  // Ends the worker: waits for at most the socket wait in progress. Also
  // done for every running worker when the library's static objects go
  // (final unload, process exit).
  void Stop();

  // Saving thread: sends pending reports oldest first until report nId has
  // had its attempt, through the saver's own connection. Stops at the first
  // failure on the way (the rest keeps its order), and after
  // nForegroundBacklog older reports (the worker is woken for the rest).
  // Returns what became of nId.
  MesDeliveryOutcome DeliverThrough(MesOutboxStore& store, std::int64_t nId);

  // Makes the worker look at the outbox now.
  void Wake();

 private:
  struct Sent {
    std::int64_t nId;
    std::string strEndpoint;
    MesDeliveryOutcome outcome;
  };
  enum class Pass { Empty, Failed, Stopped };

  // One attempt for the oldest pending report whose endpoint `wanted`
  // accepts; nothing when there is none.
  std::optional<Sent> SendOldest(MesOutboxStore& store, const std::function<bool(const std::string&)>& wanted,
                                 const std::atomic<bool>* pStop);
  Pass Drain(MesOutboxStore& store);
  void Run();
  bool WaitFor(std::chrono::milliseconds delay);  // false when stopping

  const std::filesystem::path m_file;
  const MesForwarderOptions m_options;
  std::mutex m_delivery;  // held for a whole attempt: one in flight
  std::atomic<int> m_nForegroundWaiting{0};
  std::atomic<bool> m_bStop{false};
  std::mutex m_wakeMutex;
  std::condition_variable m_wake;
  bool m_bWoken = false;
  std::mutex m_stopMutex;  // Start/Stop from the owner and from unloading
  std::thread m_worker;
};

}  // namespace results
