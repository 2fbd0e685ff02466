#include "mes/HttpUrl.h"

#include <array>
#include <cctype>

namespace mes {

namespace {

struct SchemeEntry {
  const char* name;
  unsigned short defaultPort;
};

// Indexed by HttpUrlScheme.
constexpr std::array<SchemeEntry, 8> kSchemes{{
    {"ftp", 21},
    {"gopher", 70},
    {"http", 80},
    {"https", 443},
    {"file", 0},
    {"news", 0},
    {"mailto", 0},
    {"socks", 1080},
}};

bool IsUnsafeUrlByte(unsigned char c) {
  if (c < 0x20 || c >= 0x7F) return true;
  switch (c) {
    case ' ':
    case '"':
    case '#':
    case '$':
    case '&':
    case '+':
    case ',':
    case ';':
    case '<':
    case '=':
    case '>':
    case '?':
    case '@':
    case '[':
    case '\\':
    case ']':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return true;
    default:
      return false;
  }
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

HttpUrlScheme UrlSchemeFromName(std::string_view name) {
  for (std::size_t i = 0; i < kSchemes.size(); ++i) {
    if (EqualsNoCaseAscii(name, kSchemes[i].name)) return static_cast<HttpUrlScheme>(i);
  }
  return kUrlSchemeUnknown;
}

unsigned short UrlDefaultPort(HttpUrlScheme scheme) {
  if (scheme < 0 || static_cast<std::size_t>(scheme) >= kSchemes.size()) return 0;
  return kSchemes[static_cast<std::size_t>(scheme)].defaultPort;
}

bool EscapeUrl(std::string_view url, std::string& escaped, std::size_t maxLength) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(url.size());
  bool inExtra = false;
  for (char ch : url) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (!inExtra && (c == '?' || c == '#')) inExtra = true;
    if (!inExtra && IsUnsafeUrlByte(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += ch;
    }
    if (out.size() > maxLength) return false;
  }
  escaped = std::move(out);
  return true;
}

void CHttpUrl::Clear() {
  m_strScheme.clear();
  m_strHost.clear();
  m_strUser.clear();
  m_strPassword.clear();
  m_strPath.clear();
  m_strExtra.clear();
  m_nPort = 0;
  m_nScheme = kUrlSchemeUnknown;
}

bool CHttpUrl::SetSchemeName(std::string_view scheme) {
  if (scheme.size() > kUrlMaxSchemeName) return false;
  m_strScheme.assign(scheme);
  m_nScheme = UrlSchemeFromName(scheme);
  return true;
}

bool CHttpUrl::SetHostName(std::string_view host) {
  if (host.size() > kUrlMaxHostName) return false;
  m_strHost.assign(host);
  return true;
}

bool CHttpUrl::SetUserName(std::string_view user) {
  if (user.size() > kUrlMaxUserName) return false;
  m_strUser.assign(user);
  return true;
}

bool CHttpUrl::SetPassword(std::string_view password) {
  if (password.size() > kUrlMaxPassword) return false;
  m_strPassword.assign(password);
  return true;
}

bool CHttpUrl::SetUrlPath(std::string_view path) {
  if (path.size() > kUrlMaxPath) return false;
  m_strPath.assign(path);
  return true;
}

bool CHttpUrl::SetExtraInfo(std::string_view extra) {
  if (extra.size() > kUrlMaxExtraInfo) return false;
  m_strExtra.assign(extra);
  return true;
}

bool CHttpUrl::CrackUrl(std::string_view url) {
  Clear();
  CHttpUrl parsed;
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  const std::string_view scheme = url.substr(0, colon);
  for (char c : scheme) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  if (!parsed.SetSchemeName(scheme) || parsed.m_nScheme == kUrlSchemeUnknown) return false;

  std::string_view rest = url.substr(colon + 1);
  std::string_view hostPort;
  if (parsed.m_nScheme == kUrlSchemeMailto) {
    // "mailto:" carries no authority; the address is the path.
  } else {
    if (rest.substr(0, 2) != "//") return false;
    rest.remove_prefix(2);
    const std::size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);

    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
      const std::string_view userInfo = authority.substr(0, at);
      const std::size_t sep = userInfo.find(':');
      if (!parsed.SetUserName(userInfo.substr(0, sep))) return false;
      if (sep != std::string_view::npos && !parsed.SetPassword(userInfo.substr(sep + 1))) return false;
      authority.remove_prefix(at + 1);
    }
    hostPort = authority;
  }

  std::string_view host = hostPort;
  std::string_view port;
  if (!hostPort.empty() && hostPort.front() == '[') {
    const std::size_t close = hostPort.find(']');
    if (close == std::string_view::npos) return false;
    host = hostPort.substr(1, close - 1);
    const std::string_view after = hostPort.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return false;
      port = after.substr(1);
      if (port.empty()) return false;
    }
  } else {
    const std::size_t sep = hostPort.rfind(':');
    if (sep != std::string_view::npos) {
      host = hostPort.substr(0, sep);
      port = hostPort.substr(sep + 1);
      if (port.empty()) return false;
    }
  }
  if (!parsed.SetHostName(host)) return false;

  if (!port.empty()) {
    unsigned value = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (value > 65535) return false;
    }
    if (value == 0) return false;
    parsed.m_nPort = static_cast<unsigned short>(value);
  } else {
    parsed.m_nPort = UrlDefaultPort(parsed.m_nScheme);
  }

  const std::size_t extra = rest.find_first_of("?#");
  if (!parsed.SetUrlPath(rest.substr(0, extra))) return false;
  if (extra != std::string_view::npos && !parsed.SetExtraInfo(rest.substr(extra))) return false;

  *this = std::move(parsed);
  return true;
}

std::string CHttpUrl::CreateUrl() const {
  std::string url = m_strScheme;
  url += m_nScheme == kUrlSchemeMailto ? ":" : "://";
  if (!m_strUser.empty()) {
    url += m_strUser;
    if (!m_strPassword.empty()) url += ':' + m_strPassword;
    url += '@';
  }
  if (m_strHost.find(':') != std::string::npos) {
    url += '[' + m_strHost + ']';
  } else {
    url += m_strHost;
  }
  if (m_nPort != 0 && m_nPort != UrlDefaultPort(m_nScheme)) url += ':' + std::to_string(m_nPort);
  url += m_strPath;
  url += m_strExtra;
  return url;
}

}  // namespace mes
