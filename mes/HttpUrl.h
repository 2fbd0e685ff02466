// A URL split into its parts, and the escaping applied to endpoint URLs.
// All texts are 8-bit. Each part has a length limit; a URL with a part over
// its limit, an unknown scheme or a bad port is refused as a whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mes {

enum HttpUrlScheme : int {
  kUrlSchemeUnknown = -1,
  kUrlSchemeFtp = 0,
  kUrlSchemeGopher = 1,
  kUrlSchemeHttp = 2,
  kUrlSchemeHttps = 3,
  kUrlSchemeFile = 4,
  kUrlSchemeNews = 5,
  kUrlSchemeMailto = 6,
  kUrlSchemeSocks = 7,
};

inline constexpr std::size_t kUrlMaxSchemeName = 32;
inline constexpr std::size_t kUrlMaxHostName = 256;
inline constexpr std::size_t kUrlMaxUserName = 128;
inline constexpr std::size_t kUrlMaxPassword = 128;
inline constexpr std::size_t kUrlMaxPath = 2048;
inline constexpr std::size_t kUrlMaxExtraInfo = 2048;
// Longest escaped URL an endpoint may have.
inline constexpr std::size_t kUrlMaxEscapedLength = 2082;

class CHttpUrl {
 public:
  CHttpUrl() = default;

  // Splits "scheme://[user[:password]@]host[:port][/path][?query][#fragment]"
  // ("mailto:" has no "//"). A URL that names no port takes its scheme's
  // default. On failure the object is left empty.
  bool CrackUrl(std::string_view url);
  // Reassembles the URL; the port is written only when it is not the default.
  std::string CreateUrl() const;
  void Clear();

  const std::string& GetSchemeName() const { return m_strScheme; }
  HttpUrlScheme GetScheme() const { return m_nScheme; }
  const std::string& GetHostName() const { return m_strHost; }
  const std::string& GetUserName() const { return m_strUser; }
  const std::string& GetPassword() const { return m_strPassword; }
  const std::string& GetUrlPath() const { return m_strPath; }
  // Query and fragment, from the first "?" or "#" on (included).
  const std::string& GetExtraInfo() const { return m_strExtra; }
  unsigned short GetPortNumber() const { return m_nPort; }
  bool IsEmpty() const { return m_strScheme.empty() && m_strHost.empty() && m_strPath.empty(); }

  // Setters refuse (return false) a value over the part's limit.
  bool SetSchemeName(std::string_view scheme);  // also sets the scheme number
  bool SetHostName(std::string_view host);
  bool SetUserName(std::string_view user);
  bool SetPassword(std::string_view password);
  bool SetUrlPath(std::string_view path);
  bool SetExtraInfo(std::string_view extra);
  void SetPortNumber(unsigned short port) { m_nPort = port; }

 private:
  std::string m_strScheme;
  std::string m_strHost;
  std::string m_strUser;
  std::string m_strPassword;
  std::string m_strPath;
  std::string m_strExtra;
  unsigned short m_nPort = 0;
  HttpUrlScheme m_nScheme = kUrlSchemeUnknown;
};

// Scheme number of a name (compared without regard to case), or kUrlSchemeUnknown.
HttpUrlScheme UrlSchemeFromName(std::string_view name);
// Default port of a scheme; 0 when it has none.
unsigned short UrlDefaultPort(HttpUrlScheme scheme);

// Writes every unsafe byte before the first "?" or "#" as "%xx" (lower-case
// hex); "%" itself is left alone so existing escapes survive; the rest is
// copied unchanged. Fails when the result would exceed maxLength characters.
bool EscapeUrl(std::string_view url, std::string& escaped, std::size_t maxLength = kUrlMaxEscapedLength);

}  // namespace mes
