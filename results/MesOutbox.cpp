#include "results/MesOutbox.h"

#include "platform/Clock.h"

namespace results {

MesOutbox::MesOutbox(const std::filesystem::path& file, MesForwarderOptions options)
    : m_lock(file), m_store(file), m_forwarder(file, options) {
  m_forwarder.Start();
}

MesOutbox::~MesOutbox() {
  m_forwarder.Stop();
}

std::int64_t MesOutbox::Commit(const MesUploadValues& values, const std::string& strUrl) {
  return m_store.Add(values, strUrl, platform::CurrentTime());
}

MesDeliveryOutcome MesOutbox::DeliverThrough(std::int64_t nId) {
  return m_forwarder.DeliverThrough(m_store, nId);
}

MesOutboxCounts MesOutbox::Counts() {
  return m_store.Counts(platform::CurrentTime());
}

}  // namespace results
