#include "mes/HttpClient.h"

#include <cctype>

namespace mes {

HttpStatusJudgement JudgeHttpStatus(int status) {
  if ((status >= 200 && status <= 206) || status == 304 || status == 305) return HttpStatusJudgement::Success;
  if (status >= 301 && status <= 303) return HttpStatusJudgement::Redirect;
  return HttpStatusJudgement::Failure;
}

std::string BuildHttpRequestHead(std::string_view method, const CHttpUrl& url, const NavigateOptions& options) {
  std::string head;
  head.reserve(256 + url.GetUrlPath().size() + url.GetExtraInfo().size() + options.strExtraHeaders.size());
  head.append(method);
  head += ' ';
  head += url.GetUrlPath();
  head += url.GetExtraInfo();
  head += " HTTP/1.1\r\n";
  if (options.nBodyLength != 0) {
    head += "Content-Length: ";
    head += std::to_string(options.nBodyLength);
    head += "\r\n";
  }
  if (!options.strContentType.empty()) {
    head += "Content-Type: ";
    head += options.strContentType;
    head += "\r\n";
  }
  head += options.strExtraHeaders;
  head += "Host: ";
  // An IPv6 literal needs its brackets back in the Host field.
  if (url.GetHostName().find(':') != std::string::npos) {
    head += '[' + url.GetHostName() + ']';
  } else {
    head += url.GetHostName();
  }
  if (url.GetPortNumber() != 80) {
    head += ':';
    head += std::to_string(url.GetPortNumber());
  }
  head += "\r\n";
  head += "User-Agent: Monitor-SoapClient/1.0\r\n";
  head += "\r\n";
  return head;
}

namespace {

// "scheme://..." or "mailto:..." (a scheme made of letters, digits, "+-.").
bool IsAbsoluteUrl(std::string_view location) {
  const std::size_t colon = location.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  if (!std::isalpha(static_cast<unsigned char>(location[0]))) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = location[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace

bool ResolveHttpLocation(const CHttpUrl& current, std::string_view location, CHttpUrl& next) {
  while (!location.empty() && std::isspace(static_cast<unsigned char>(location.front()))) location.remove_prefix(1);
  while (!location.empty() && std::isspace(static_cast<unsigned char>(location.back()))) location.remove_suffix(1);
  if (location.empty()) return false;

  if (IsAbsoluteUrl(location)) return next.CrackUrl(location);
  if (location.substr(0, 2) == "//") return next.CrackUrl(current.GetSchemeName() + ":" + std::string(location));

  next = current;
  const std::size_t extraAt = location.find_first_of("?#");
  const std::string_view path = location.substr(0, extraAt);
  const std::string_view extra = extraAt == std::string_view::npos ? std::string_view{} : location.substr(extraAt);
  std::string newPath;
  if (!path.empty() && path.front() == '/') {
    newPath.assign(path);
  } else {
    const std::string& base = current.GetUrlPath();
    const std::size_t slash = base.rfind('/');
    newPath = slash == std::string::npos ? "/" : base.substr(0, slash + 1);
    newPath += path;
  }
  return next.SetUrlPath(newPath) && next.SetExtraInfo(extra);
}

}  // namespace mes
