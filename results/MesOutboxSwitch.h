// The monitor dialog's side of the outbox: the file named by the dialog's
// field is opened on first use and closed when the field is emptied or
// names another file. A file that cannot be used (damaged, unwritable, held
// by another station) is reported to the operator once and the reports go
// straight to the MES as without an outbox. Used from the saving thread only.
#pragma once

#include <memory>
#include <string>

#include "results/MesOutbox.h"
#include "results/MesUploadValues.h"

// Global, unlike the rest of results/: the host's header monitor/MonitorDialog.h
// declares it by this name.
class MesOutboxSwitch {
 public:
  MesOutboxSwitch();
  explicit MesOutboxSwitch(results::MesForwarderOptions options);
  ~MesOutboxSwitch();

  // The outbox of gbkPath (the module's GBK text; empty: off). Null when off
  // or unusable.
  results::MesOutbox* Use(const std::string& gbkPath);

  // One unit's report: committed and sent through the outbox, or sent
  // directly when the outbox is off or unusable. True when this attempt
  // delivered it.
  bool Upload(const std::string& gbkPath, const results::MesUploadValues& values, const std::string& strUrl);

  // False when off or unusable.
  bool Counts(const std::string& gbkPath, results::MesOutboxCounts* pCounts);

  void Close();

 private:
  void Broken(const std::string& why);
  // Runs a step on the outbox; any failure makes the file unusable (Broken)
  // and is false, so nothing reaches the host's save call.
  template <typename Step>
  bool Attempt(Step&& step);

  results::MesForwarderOptions m_options;
  std::unique_ptr<results::MesOutbox> m_outbox;
  std::string m_strPath;     // the file m_outbox is, or the one found unusable
  bool m_bUnusable = false;  // m_strPath was reported to the operator
};
