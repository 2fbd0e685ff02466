// The spyne MES (tests/peers/spyne_mes_server.py, run with /usr/bin/python3)
// as a child process on a loopback port the system picks: it answers each
// call with the values it decoded.
#pragma once

#include <QProcess>

#include <cstdlib>
#include <string>

namespace testsupport {

class SpyneMes {
 public:
  ~SpyneMes() {
    m_process.terminate();
    m_process.waitForFinished();
  }

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/querysn/cs_querysn.asmx"; }

  // True once the server listens and has said where (spyne takes a moment to import).
  bool Start() {
    const char* root = std::getenv("MONITOR_SOURCE_DIR");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("/usr/bin/python3", {QString(root ? root : ".") + "/tests/peers/spyne_mes_server.py", "0"});
    while (!m_process.canReadLine() && m_process.waitForReadyRead(30000)) {
    }
    const QByteArray line = m_process.readLine();
    m_port = line.startsWith("PORT ") ? line.mid(5).trimmed().toInt() : 0;
    return m_port > 0;
  }

 private:
  QProcess m_process;
  int m_port = 0;
};

}  // namespace testsupport
