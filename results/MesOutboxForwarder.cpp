#include "results/MesOutboxForwarder.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "platform/Clock.h"
#include "results/MesOutboxStore.h"

namespace results {

namespace {

// Every started worker, so that unloading the library stops those whose
// outbox the host never destroyed (their thread would run unmapped code).
class RunningForwarders {
 public:
  ~RunningForwarders() {
    std::vector<MesOutboxForwarder*> left;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      left.assign(m_running.begin(), m_running.end());
    }
    for (MesOutboxForwarder* f : left) f->Stop();
  }
  void Add(MesOutboxForwarder* f) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running.insert(f);
  }
  void Remove(MesOutboxForwarder* f) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running.erase(f);
  }

 private:
  std::mutex m_mutex;
  std::set<MesOutboxForwarder*> m_running;
};

RunningForwarders& Running() {
  static RunningForwarders running;
  return running;
}

}  // namespace

MesOutboxForwarder::MesOutboxForwarder(std::filesystem::path file, MesForwarderOptions options)
    : m_file(std::move(file)), m_options(options) {}

MesOutboxForwarder::~MesOutboxForwarder() {
  Stop();
}

void MesOutboxForwarder::Start() {
  std::lock_guard<std::mutex> lock(m_stopMutex);
  if (m_worker.joinable()) return;
  m_bStop = false;
  Running().Add(this);
  m_worker = std::thread([this] { Run(); });
}

void MesOutboxForwarder::Stop() {
  std::lock_guard<std::mutex> lock(m_stopMutex);
  m_bStop = true;
  m_wake.notify_all();
  if (m_worker.joinable()) {
    m_worker.join();
    Running().Remove(this);
  }
}

void MesOutboxForwarder::Wake() {
  {
    std::lock_guard<std::mutex> lock(m_wakeMutex);
    m_bWoken = true;
  }
  m_wake.notify_all();
}

bool MesOutboxForwarder::WaitFor(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(m_wakeMutex);
  m_wake.wait_for(lock, delay, [this] { return m_bStop.load() || m_bWoken; });
  m_bWoken = false;
  return !m_bStop.load();
}

std::optional<MesOutboxForwarder::Sent> MesOutboxForwarder::SendOldest(
    MesOutboxStore& store, const std::function<bool(const std::string&)>& wanted, const std::atomic<bool>* pStop) {
  std::optional<MesOutboxReport> report = store.OldestPending(wanted);
  if (!report) return std::nullopt;
  // Only the worker passes a stop flag, and only it uses its own socket time-out.
  const MesDeliveryResult result =
      DeliverMesUpload(report->values, report->strEndpoint, pStop, pStop ? m_options.nWorkerSocketTimeoutMs : 0);
  const std::time_t now = platform::CurrentTime();
  switch (result.outcome) {
    case MesDeliveryOutcome::Delivered:
      store.MarkDelivered(report->nId, now);
      break;
    case MesDeliveryOutcome::Refused:
      store.MarkRefused(report->nId, result.strReason, now);
      break;
    case MesDeliveryOutcome::Failed:
      store.MarkFailed(report->nId, result.strReason, now);
      break;
  }
  return Sent{report->nId, report->strEndpoint, result.outcome};
}

MesDeliveryOutcome MesOutboxForwarder::DeliverThrough(MesOutboxStore& store, std::int64_t nId) {
  ++m_nForegroundWaiting;
  std::unique_lock<std::mutex> lock(m_delivery);
  --m_nForegroundWaiting;
  for (int older = 0;; ++older) {
    const std::optional<MesOutboxReport> mine = store.Find(nId);
    if (!mine) return MesDeliveryOutcome::Failed;
    switch (mine->state) {
      case MesOutboxState::Pending:
        break;
      case MesOutboxState::Delivered:
        return MesDeliveryOutcome::Delivered;  // the worker was quicker
      case MesOutboxState::Refused:
      case MesOutboxState::Dropped:
        return MesDeliveryOutcome::Refused;
    }
    if (older >= m_options.nForegroundBacklog) {
      Wake();
      return MesDeliveryOutcome::Failed;  // not attempted: older reports go first
    }
    const std::optional<Sent> sent = SendOldest(
        store, [&](const std::string& endpoint) { return endpoint == mine->strEndpoint; }, nullptr);
    if (!sent) return MesDeliveryOutcome::Failed;
    if (sent->nId == nId) return sent->outcome;
    if (sent->outcome == MesDeliveryOutcome::Failed) return MesDeliveryOutcome::Failed;
  }
}

MesOutboxForwarder::Pass MesOutboxForwarder::Drain(MesOutboxStore& store) {
  // An endpoint that failed in this pass keeps its later reports waiting.
  std::set<std::string> failed;
  const auto wanted = [&](const std::string& endpoint) { return failed.count(endpoint) == 0; };
  while (!m_bStop.load()) {
    std::unique_lock<std::mutex> lock(m_delivery);
    if (m_nForegroundWaiting.load() > 0) {
      // A save is waiting: it sends these reports itself.
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    const std::optional<Sent> sent = SendOldest(store, wanted, &m_bStop);
    if (!sent) return failed.empty() ? Pass::Empty : Pass::Failed;
    if (sent->outcome == MesDeliveryOutcome::Failed) failed.insert(sent->strEndpoint);
  }
  return Pass::Stopped;
}

void MesOutboxForwarder::Run() {
  std::chrono::milliseconds backoff = m_options.firstBackoff;
  std::chrono::milliseconds delay{0};
  std::time_t lastPrune = 0;
  std::optional<MesOutboxStore> store;
  while (WaitFor(delay)) {
    try {
      if (!store) store.emplace(m_file, MesOutboxStore::OpenMode::ExistingOnly);
      const std::time_t now = platform::CurrentTime();
      if (now - lastPrune >= 3600 || now < lastPrune) {
        store->Prune(now - m_options.nKeepFinishedSeconds);
        lastPrune = now;
      }
      switch (Drain(*store)) {
        case Pass::Empty:
          backoff = m_options.firstBackoff;
          delay = m_options.idleCheck;
          break;
        case Pass::Failed:
          delay = backoff;
          backoff = std::min(backoff * 2, m_options.maxBackoff);
          break;
        case Pass::Stopped:
          return;
      }
    } catch (const std::exception& e) {
      // The saving thread reports an unusable outbox to the operator; the
      // worker only tries again later with a fresh connection.
      std::fprintf(stderr, "MES outbox worker: %s\n", e.what());
      store.reset();
      delay = backoff;
      backoff = std::min(backoff * 2, m_options.maxBackoff);
    }
  }
}

}  // namespace results
