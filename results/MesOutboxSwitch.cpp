#include "results/MesOutboxSwitch.h"

#include "platform/MessageBox.h"
#include "platform/TextCodec.h"
#include "results/MesUpload.h"

using results::MesForwarderOptions;
using results::MesOutbox;
using results::MesOutboxCounts;
using results::MesUploadValues;

MesOutboxSwitch::MesOutboxSwitch() = default;
MesOutboxSwitch::MesOutboxSwitch(MesForwarderOptions options) : m_options(options) {}
MesOutboxSwitch::~MesOutboxSwitch() {
  Close();
}

void MesOutboxSwitch::Close() {
  m_outbox.reset();
  m_strPath.clear();
  m_bUnusable = false;
}

void MesOutboxSwitch::Broken(const std::string& why) {
  m_outbox.reset();
  m_bUnusable = true;
  // "MES 缓存文件不能使用，结果将直接上传到 MES：" then the file and the reason.
  static const std::string kUnusable = platform::Gbk(
      u8"MES \u7f13\u5b58\u6587\u4ef6\u4e0d\u80fd\u4f7f\u7528\uff0c\u7ed3\u679c\u5c06\u76f4\u63a5\u4e0a\u4f20\u5230 MES\uff1a");
  platform::MessageBox(kUnusable + "\n" + m_strPath + "\n" + platform::Utf8ToGbk(why), platform::MB_ICONWARNING);
}

// The outbox raises platform::Error; anything else (no thread, no memory)
// is caught here too, as this is where the outbox meets the host's save.
template <typename Step>
bool MesOutboxSwitch::Attempt(Step&& step) {
  try {
    step();
    return true;
  } catch (const std::exception& e) {
    Broken(e.what());
    return false;
  }
}

MesOutbox* MesOutboxSwitch::Use(const std::string& gbkPath) {
  if (gbkPath != m_strPath) {
    Close();
    m_strPath = gbkPath;
  }
  if (gbkPath.empty() || m_bUnusable) return nullptr;
  if (!m_outbox)
    Attempt([&] {
      m_outbox = std::make_unique<MesOutbox>(std::filesystem::path(platform::GbkToUtf8(gbkPath)), m_options);
    });
  return m_outbox.get();
}

bool MesOutboxSwitch::Upload(const std::string& gbkPath, const MesUploadValues& values, const std::string& strUrl) {
  MesOutbox* outbox = Use(gbkPath);
  if (outbox == nullptr) return results::SendMesUpload(values, strUrl);
  std::int64_t id = 0;
  if (!Attempt([&] { id = outbox->Commit(values, strUrl); }))
    return results::SendMesUpload(values, strUrl);  // not stored: this attempt is the only one
  // Once stored, a failure leaves the report to go out when the file is
  // usable again.
  bool delivered = false;
  Attempt([&] { delivered = outbox->DeliverThrough(id) == results::MesDeliveryOutcome::Delivered; });
  return delivered;
}

bool MesOutboxSwitch::Counts(const std::string& gbkPath, MesOutboxCounts* pCounts) {
  MesOutbox* outbox = Use(gbkPath);
  if (outbox == nullptr || pCounts == nullptr) return false;
  return Attempt([&] { *pCounts = outbox->Counts(); });
}
