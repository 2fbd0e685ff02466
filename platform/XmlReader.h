// Streaming (SAX) XML reader with namespace processing, over expat.
//
// Every event goes to the content handler current at that moment, so a handler
// may hand the rest of an element to another handler and take it back later.
// Documents with a DOCTYPE or entity declarations are refused before any of
// their declarations take effect: nothing is expanded or fetched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace platform {

struct XmlAttribute {
  std::u16string_view uri;  // empty when the attribute has no namespace
  std::u16string_view localName;
  std::u16string_view qName;  // prefix:local as written
  std::u16string_view value;  // entities and character references resolved
};

class XmlAttributes {
 public:
  explicit XmlAttributes(std::span<const XmlAttribute> items) : m_items(items) {}
  std::size_t size() const { return m_items.size(); }
  const XmlAttribute& operator[](std::size_t i) const { return m_items[i]; }
  auto begin() const { return m_items.begin(); }
  auto end() const { return m_items.end(); }
  // The attribute with this namespace URI and local name, or nullptr.
  const XmlAttribute* Find(std::u16string_view uri, std::u16string_view localName) const;

 private:
  std::span<const XmlAttribute> m_items;
};

// Every member returns a status: zero or positive continues, negative stops
// the parse, and the reader's Parse returns that status.
class IXmlContentHandler {
 public:
  virtual ~IXmlContentHandler() = default;
  virtual int32_t StartDocument() { return 0; }
  virtual int32_t EndDocument() { return 0; }
  virtual int32_t StartPrefixMapping(std::u16string_view /*prefix*/, std::u16string_view /*uri*/) { return 0; }
  virtual int32_t EndPrefixMapping(std::u16string_view /*prefix*/) { return 0; }
  virtual int32_t StartElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view qName,
                               const XmlAttributes& attributes) = 0;
  virtual int32_t EndElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view qName) = 0;
  virtual int32_t Characters(std::u16string_view text) = 0;
};

// Supplies document bytes: copies up to `capacity` bytes, returns how many; 0 ends.
using XmlByteSource = std::function<std::size_t(char* buffer, std::size_t capacity)>;

class CXmlReader {
 public:
  // Status of a document that is not well-formed or was refused.
  static constexpr int32_t kMalformed = static_cast<int32_t>(0x80004005u);

  CXmlReader();
  ~CXmlReader();
  CXmlReader(const CXmlReader&) = delete;
  CXmlReader& operator=(const CXmlReader&) = delete;

  void SetContentHandler(IXmlContentHandler* handler) { m_handler = handler; }
  IXmlContentHandler* GetContentHandler() const { return m_handler; }

  // Parses one whole document. Returns 0 when it was read to its end, the
  // handler's status when a handler stopped it, else kMalformed.
  int32_t Parse(const XmlByteSource& source);
  int32_t Parse(std::string_view document);

  // Why the last parse failed (empty after a success).
  const std::string& LastError() const { return m_error; }

 private:
  struct Session;
  int32_t ParseSource(const XmlByteSource& source);
  int32_t ParseBytes(std::string_view document);
  IXmlContentHandler* m_handler = nullptr;
  std::string m_error;
};

}  // namespace platform
