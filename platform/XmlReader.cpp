#include "platform/XmlReader.h"

#include <expat.h>

#include <climits>
#include <new>
#include <vector>

namespace platform {
namespace {

// Separates namespace URI, local name and prefix in the names expat reports.
// U+0001 cannot occur in an XML 1.0 document, not even as a character reference.
constexpr char kNsSep = '\x01';
constexpr std::size_t kChunk = 16384;
constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);

// expat hands out well-formed UTF-8 only, so no validation is needed here.
void AppendUtf8(std::u16string& out, const char* s, std::size_t n) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  const auto* end = p + n;
  while (p < end) {
    unsigned c = *p;
    if (c < 0x80) {
      out.push_back(static_cast<char16_t>(c));
      ++p;
    } else if (c < 0xE0) {
      out.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (p[1] & 0x3F)));
      p += 2;
    } else if (c < 0xF0) {
      out.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)));
      p += 3;
    } else {
      unsigned cp = ((c & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      p += 4;
    }
  }
}

// Offsets of the three parts of a name inside a shared UTF-16 store.
struct NameParts {
  std::size_t uri, uriLen, local, localLen, q, qLen;
};

// expat reports "uri SEP local SEP prefix", "uri SEP local" or "local".
NameParts SplitName(std::u16string& store, const char* raw) {
  std::string_view s(raw);
  std::size_t first = s.find(kNsSep);
  std::string_view uri, local, prefix;
  if (first == std::string_view::npos) {
    local = s;
  } else {
    uri = s.substr(0, first);
    std::size_t second = s.find(kNsSep, first + 1);
    if (second == std::string_view::npos) {
      local = s.substr(first + 1);
    } else {
      local = s.substr(first + 1, second - first - 1);
      prefix = s.substr(second + 1);
    }
  }
  NameParts n{};
  n.uri = store.size();
  AppendUtf8(store, uri.data(), uri.size());
  n.uriLen = store.size() - n.uri;
  n.q = store.size();
  if (!prefix.empty()) {
    AppendUtf8(store, prefix.data(), prefix.size());
    store.push_back(u':');
  }
  n.local = store.size();
  AppendUtf8(store, local.data(), local.size());
  n.localLen = store.size() - n.local;
  n.qLen = store.size() - n.q;
  return n;
}

}  // namespace

const XmlAttribute* XmlAttributes::Find(std::u16string_view uri, std::u16string_view localName) const {
  for (const XmlAttribute& a : m_items) {
    if (a.localName == localName && a.uri == uri) return &a;
  }
  return nullptr;
}

struct CXmlReader::Session {
  CXmlReader& reader;
  XML_Parser parser = nullptr;
  int32_t stopStatus = 0;  // set when a handler or a refusal stopped the parse
  std::u16string names;    // element and attribute names of the current event
  std::u16string text;
  std::vector<NameParts> attrParts;
  std::vector<std::pair<std::size_t, std::size_t>> attrValues;
  std::vector<XmlAttribute> attrs;

  explicit Session(CXmlReader& r) : reader(r) {}
  ~Session() {
    if (parser) XML_ParserFree(parser);
  }

  static Session& Of(void* user) { return *static_cast<Session*>(user); }

  bool Stopped() const { return stopStatus < 0; }

  void Stop(int32_t status, const char* why) noexcept {
    if (Stopped()) return;
    stopStatus = status;
    try {
      reader.m_error = why;
    } catch (...) {
    }
    XML_StopParser(parser, XML_FALSE);
  }

  void Check(int32_t status, const char* event) {
    if (status < 0) {
      Stop(status, "the content handler stopped the parse");
      reader.m_error += std::string(" at ") + event;
    }
  }

  // No exception may unwind through expat's C frames: it becomes a status.
  template <class F>
  static void Guard(void* user, F&& body) {
    try {
      body(Of(user));
    } catch (const std::bad_alloc&) {
      Of(user).Stop(kOutOfMemory, "out of memory while reading the document");
    } catch (...) {
      Of(user).Stop(kMalformed, "the content handler failed");
    }
  }

  static void OnStart(void* user, const XML_Char* name, const XML_Char** atts) {
    Guard(user, [&](Session& s) {
      if (s.Stopped()) return;
      IXmlContentHandler* h = s.reader.m_handler;
      if (!h) return;
      s.names.clear();
      s.attrParts.clear();
      s.attrValues.clear();
      NameParts el = SplitName(s.names, name);
      for (const XML_Char** a = atts; *a; a += 2) {
        s.attrParts.push_back(SplitName(s.names, a[0]));
        std::size_t at = s.names.size();
        AppendUtf8(s.names, a[1], std::char_traits<char>::length(a[1]));
        s.attrValues.emplace_back(at, s.names.size() - at);
      }
      // Views are taken only now: the store no longer grows.
      std::u16string_view all(s.names);
      s.attrs.clear();
      for (std::size_t i = 0; i < s.attrParts.size(); ++i) {
        const NameParts& p = s.attrParts[i];
        s.attrs.push_back({all.substr(p.uri, p.uriLen), all.substr(p.local, p.localLen), all.substr(p.q, p.qLen),
                           all.substr(s.attrValues[i].first, s.attrValues[i].second)});
      }
      s.Check(h->StartElement(all.substr(el.uri, el.uriLen), all.substr(el.local, el.localLen),
                              all.substr(el.q, el.qLen), XmlAttributes(s.attrs)),
              "an element start");
    });
  }

  static void OnEnd(void* user, const XML_Char* name) {
    Guard(user, [&](Session& s) {
      if (s.Stopped()) return;
      IXmlContentHandler* h = s.reader.m_handler;
      if (!h) return;
      s.names.clear();
      NameParts el = SplitName(s.names, name);
      std::u16string_view all(s.names);
      s.Check(
          h->EndElement(all.substr(el.uri, el.uriLen), all.substr(el.local, el.localLen), all.substr(el.q, el.qLen)),
          "an element end");
    });
  }

  static void OnText(void* user, const XML_Char* text, int len) {
    Guard(user, [&](Session& s) {
      if (s.Stopped()) return;
      IXmlContentHandler* h = s.reader.m_handler;
      if (!h) return;
      s.text.clear();
      AppendUtf8(s.text, text, static_cast<std::size_t>(len));
      s.Check(h->Characters(s.text), "character data");
    });
  }

  static void OnNsStart(void* user, const XML_Char* prefix, const XML_Char* uri) {
    Guard(user, [&](Session& s) {
      if (s.Stopped()) return;
      IXmlContentHandler* h = s.reader.m_handler;
      if (!h) return;
      std::u16string p, u;
      if (prefix) AppendUtf8(p, prefix, std::char_traits<char>::length(prefix));
      if (uri) AppendUtf8(u, uri, std::char_traits<char>::length(uri));
      s.Check(h->StartPrefixMapping(p, u), "a prefix mapping");
    });
  }

  static void OnNsEnd(void* user, const XML_Char* prefix) {
    Guard(user, [&](Session& s) {
      if (s.Stopped()) return;
      IXmlContentHandler* h = s.reader.m_handler;
      if (!h) return;
      std::u16string p;
      if (prefix) AppendUtf8(p, prefix, std::char_traits<char>::length(prefix));
      s.Check(h->EndPrefixMapping(p), "the end of a prefix mapping");
    });
  }

  // A reply has no business declaring a document type or entities: refusing
  // them keeps entity expansion and external fetches out entirely.
  static void OnDoctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Of(user).Stop(kMalformed, "document type declarations are refused");
  }

  static void OnEntityDecl(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                           const XML_Char*, const XML_Char*) {
    Of(user).Stop(kMalformed, "entity declarations are refused");
  }

  bool Create() {
    parser = XML_ParserCreateNS(nullptr, kNsSep);
    if (!parser) return false;
    XML_SetReturnNSTriplet(parser, 1);
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &OnStart, &OnEnd);
    XML_SetCharacterDataHandler(parser, &OnText);
    XML_SetNamespaceDeclHandler(parser, &OnNsStart, &OnNsEnd);
    XML_SetStartDoctypeDeclHandler(parser, &OnDoctype);
    XML_SetEntityDeclHandler(parser, &OnEntityDecl);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    return true;
  }

  // Turns the outcome of one expat call into a status; 0 means go on.
  int32_t Outcome(XML_Status st) {
    if (Stopped()) return stopStatus;
    if (st == XML_STATUS_ERROR) {
      reader.m_error = std::string("line ") + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                       std::to_string(XML_GetCurrentColumnNumber(parser)) + ": " +
                       XML_ErrorString(XML_GetErrorCode(parser));
      return kMalformed;
    }
    return 0;
  }

  int32_t Begin() {
    if (!Create()) {
      reader.m_error = "the XML parser could not be created";
      return kOutOfMemory;
    }
    if (IXmlContentHandler* h = reader.m_handler) {
      int32_t st = h->StartDocument();
      if (st < 0) {
        reader.m_error = "the content handler refused the document start";
        return st;
      }
    }
    return 0;
  }

  int32_t Finish() {
    if (IXmlContentHandler* h = reader.m_handler) {
      int32_t st = h->EndDocument();
      if (st < 0) {
        reader.m_error = "the content handler refused the document end";
        return st;
      }
    }
    return 0;
  }
};

CXmlReader::CXmlReader() = default;
CXmlReader::~CXmlReader() = default;

int32_t CXmlReader::Parse(const XmlByteSource& source) {
  try {
    return ParseSource(source);
  } catch (const std::bad_alloc&) {
    m_error = "out of memory while reading the document";
    return kOutOfMemory;
  }
}

int32_t CXmlReader::Parse(std::string_view document) {
  try {
    return ParseBytes(document);
  } catch (const std::bad_alloc&) {
    m_error = "out of memory while reading the document";
    return kOutOfMemory;
  }
}

int32_t CXmlReader::ParseSource(const XmlByteSource& source) {
  m_error.clear();
  Session s(*this);
  if (int32_t st = s.Begin(); st < 0) return st;
  for (;;) {
    void* buf = XML_GetBuffer(s.parser, static_cast<int>(kChunk));
    if (!buf) {
      m_error = "out of memory while reading the document";
      return kOutOfMemory;
    }
    std::size_t n = source ? source(static_cast<char*>(buf), kChunk) : 0;
    if (n > kChunk) n = kChunk;
    if (int32_t st = s.Outcome(XML_ParseBuffer(s.parser, static_cast<int>(n), n == 0)); st < 0) return st;
    if (n == 0) break;
  }
  return s.Finish();
}

int32_t CXmlReader::ParseBytes(std::string_view document) {
  m_error.clear();
  Session s(*this);
  if (int32_t st = s.Begin(); st < 0) return st;
  constexpr std::size_t kMaxPiece = INT_MAX / 2;
  do {
    std::size_t n = document.size() < kMaxPiece ? document.size() : kMaxPiece;
    bool last = n == document.size();
    if (int32_t st = s.Outcome(XML_Parse(s.parser, document.data(), static_cast<int>(n), last)); st < 0) return st;
    document.remove_prefix(n);
  } while (!document.empty());
  return s.Finish();
}

}  // namespace platform
