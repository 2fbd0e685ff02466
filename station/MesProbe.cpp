#include "station/MesProbe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace station {

namespace {

std::string TryConnect(const addrinfo* a, int nTimeoutMs) {
  const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
  if (fd < 0) return std::strerror(errno);
  std::string why;
  if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      why = std::strerror(errno);
    } else {
      pollfd p{fd, POLLOUT, 0};
      const int ready = poll(&p, 1, nTimeoutMs);
      int err = 0;
      socklen_t len = sizeof err;
      if (ready == 0)
        why = "no answer within " + std::to_string(nTimeoutMs / 1000) + " s";
      else if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        why = std::strerror(errno);
      else if (err != 0)
        why = std::strerror(err);
    }
  }
  close(fd);
  return why;
}

}  // namespace

std::string ProbeMesUrl(const std::string& strUrl, int nTimeoutMs) {
  const std::string scheme = "http://";
  if (strUrl.rfind(scheme, 0) != 0)
    return "the MES address " + strUrl + " is not an http:// URL: give e.g. http://mes-host/querysn/cs_querysn.asmx";
  const std::string rest = strUrl.substr(scheme.size());
  const std::string authority = rest.substr(0, rest.find_first_of("/?#"));
  std::string host = authority, port = "80";
  if (const std::size_t at = host.rfind('@'); at != std::string::npos) host = host.substr(at + 1);
  if (!host.empty() && host.front() == '[') {
    const std::size_t close = host.find(']');
    if (close != std::string::npos && close + 1 < host.size() && host[close + 1] == ':') port = host.substr(close + 2);
    host = host.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else if (const std::size_t colon = host.rfind(':'); colon != std::string::npos) {
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
  }
  if (host.empty()) return "the MES address " + strUrl + " names no host: give http://host[:port]/path";
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0)
    return "the MES host '" + host + "' of " + strUrl + " cannot be found (" + gai_strerror(rc) +
           "): check the address, or leave out --mes to use the embedded receiver";
  std::string why;
  for (const addrinfo* a = found; a; a = a->ai_next) {
    why = TryConnect(a, nTimeoutMs);
    if (why.empty()) break;
  }
  freeaddrinfo(found);
  if (why.empty()) return {};
  return "the MES at " + strUrl + " does not answer (" + why +
         "): start the service or correct --mes; leave --mes out to use the embedded receiver";
}

}  // namespace station
