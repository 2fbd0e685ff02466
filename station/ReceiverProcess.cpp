#include "station/ReceiverProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace station {

namespace {

std::string ReadUntilClosedOrLine(int fd, int timeoutMs, bool wantLine) {
  std::string text;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    if (wantLine && text.find('\n') != std::string::npos) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[512];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace

std::string FindReceiverProgram(const std::string& strHome) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const fs::path& candidate :
       {fs::path(strHome) / "mes-receiver", fs::path(strHome) / ".." / "mes-receiver" / "mes-receiver",
        fs::path(MONITOR_RECEIVER_BUILD_PATH)}) {
    if (fs::is_regular_file(candidate, ec) && access(candidate.c_str(), X_OK) == 0)
      return candidate.lexically_normal().string();
  }
  return "mes-receiver";  // execvp searches PATH
}

bool ReceiverProcess::Start(const std::string& program, const std::string& database, int port, std::string& strError) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) {
    strError = std::string("cannot start the MES receiver: ") + std::strerror(errno);
    return false;
  }
  const pid_t parent = getpid();
  m_pid = fork();
  if (m_pid == 0) {
    // The receiver ends with the station, however the station ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]), close(out[1]), close(err[0]), close(err[1]);
    std::string portText = std::to_string(port);
    const char* args[] = {program.c_str(), "serve", "--db", database.c_str(), "--port", portText.c_str(), nullptr};
    execvp(args[0], const_cast<char* const*>(args));
    std::fprintf(stderr, "mes-receiver: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  if (m_pid < 0) {
    close(out[0]), close(err[0]);
    strError = std::string("cannot start the MES receiver: ") + std::strerror(errno);
    return false;
  }
  const std::string first = ReadUntilClosedOrLine(out[0], 15000, true);
  close(out[0]);
  const std::string prefix = "listening ";
  if (first.rfind(prefix, 0) == 0) {
    m_strUrl = first.substr(prefix.size(), first.find('\n') - prefix.size());
    close(err[0]);
    return true;
  }
  std::string message = ReadUntilClosedOrLine(err[0], 2000, false);
  close(err[0]);
  while (!message.empty() && message.back() == '\n') message.pop_back();
  if (const std::size_t nl = message.rfind('\n'); nl != std::string::npos) message = message.substr(nl + 1);
  strError = message.empty() ? "the MES receiver (" + program + ") did not start listening" : message;
  Stop();
  return false;
}

bool ReceiverProcess::Stop() {
  if (m_pid <= 0) return true;
  kill(m_pid, SIGTERM);
  int status = 0;
  const pid_t done = waitpid(m_pid, &status, 0);
  m_pid = -1;
  return done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ReceiverProcess::~ReceiverProcess() {
  Stop();
}

}  // namespace station
