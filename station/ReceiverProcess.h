// The embedded MES receiver, run as a child process for the station's run.
#pragma once

#include <string>
#include <sys/types.h>

namespace station {

class ReceiverProcess {
 public:
  ReceiverProcess() = default;
  ~ReceiverProcess();  // stops it
  ReceiverProcess(const ReceiverProcess&) = delete;
  ReceiverProcess& operator=(const ReceiverProcess&) = delete;

  // Starts `program serve --db database --port port` and waits (up to 15 s)
  // until it listens. Returns false with strError (its own message when it
  // exited, e.g. a busy port) otherwise.
  bool Start(const std::string& program, const std::string& database, int port, std::string& strError);
  const std::string& Url() const { return m_strUrl; }
  // Asks it to stop and waits for it; true when it ended cleanly.
  bool Stop();

 private:
  pid_t m_pid = -1;
  std::string m_strUrl;
};

// Where the receiver program is: beside the station's original executable
// (MONITOR_STATION_HOME), in the build tree's receiver folder, or on PATH.
std::string FindReceiverProgram(const std::string& strHome);

}  // namespace station
