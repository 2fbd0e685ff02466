#include "mes-receiver/RequestValidator.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlschemas.h>

#include <cstring>
#include <stdexcept>

#include "mes-receiver/ServiceDescription.h"

namespace receiver {

namespace {

constexpr char kSoapEnvelopeNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr char kXsiNs[] = "http://www.w3.org/2001/XMLSchema-instance";

bool Named(const xmlNode* node, const char* ns, const char* name) {
  return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
         std::strcmp(reinterpret_cast<const char*>(node->ns->href), ns) == 0 &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

const xmlNode* FirstElement(const xmlNode* node) {
  for (; node; node = node->next)
    if (node->type == XML_ELEMENT_NODE) return node;
  return nullptr;
}

std::string TextOf(const xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string s = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return s;
}

bool IsNil(const xmlNode* node) {
  xmlChar* nil = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>("nil"), reinterpret_cast<const xmlChar*>(kXsiNs));
  const bool yes = nil && (std::strcmp(reinterpret_cast<const char*>(nil), "true") == 0 ||
                           std::strcmp(reinterpret_cast<const char*>(nil), "1") == 0);
  xmlFree(nil);
  return yes;
}

// The schema has accepted the text, so it holds only the alphabet, padding
// and white space.
std::string DecodeBase64(const std::string& text) {
  std::string out;
  unsigned value = 0;
  int bits = 0;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else
      continue;
    value = (value << 6) | static_cast<unsigned>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xFF);
    }
  }
  return out;
}

void CollectError(void* userData, xmlErrorPtr error) {
  auto* message = static_cast<std::string*>(userData);
  if (!message->empty() || !error || !error->message) return;  // the first one says most
  *message = error->message;
  while (!message->empty() && (message->back() == '\n' || message->back() == ' ')) message->pop_back();
  if (error->line > 0) *message += " (line " + std::to_string(error->line) + ")";
}

}  // namespace

struct RequestValidator::Impl {
  xmlSchemaPtr schema = nullptr;
};

RequestValidator::RequestValidator() : m_impl(std::make_unique<Impl>()) {
  const std::string& xsd = OperationSchema();
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewMemParserCtxt(xsd.data(), static_cast<int>(xsd.size()));
  if (parser) m_impl->schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  if (!m_impl->schema) throw std::runtime_error("the operation's schema does not compile");
}

RequestValidator::~RequestValidator() {
  xmlSchemaFree(m_impl->schema);
}

std::variant<UploadCall, RequestRefusal> RequestValidator::Check(std::string_view body) {
  std::string error;
  xmlParserCtxtPtr parser = xmlNewParserCtxt();
  if (!parser) return RequestRefusal{"out of memory"};
  // No network, no entity expansion, no DTD loading: a request is data only.
  xmlDocPtr doc = xmlCtxtReadMemory(parser, body.data(), static_cast<int>(body.size()), "request.xml", nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) {
    xmlErrorPtr e = xmlCtxtGetLastError(parser);
    error = "the request is not well-formed XML";
    if (e && e->message) {
      std::string m = e->message;
      while (!m.empty() && m.back() == '\n') m.pop_back();
      error += ": " + m + " (line " + std::to_string(e->line) + ")";
    }
    xmlFreeParserCtxt(parser);
    return RequestRefusal{error};
  }
  xmlFreeParserCtxt(parser);
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> owner(doc, &xmlFreeDoc);

  if (doc->intSubset || doc->extSubset) return RequestRefusal{"a document type declaration is not allowed"};
  const xmlNode* envelope = xmlDocGetRootElement(doc);
  if (!Named(envelope, kSoapEnvelopeNs, "Envelope")) return RequestRefusal{"the document is not a SOAP 1.1 Envelope"};
  const xmlNode* part = FirstElement(envelope->children);
  if (Named(part, kSoapEnvelopeNs, "Header")) part = FirstElement(part->next);
  if (!Named(part, kSoapEnvelopeNs, "Body")) return RequestRefusal{"the Envelope has no Body"};
  if (FirstElement(part->next)) return RequestRefusal{"the Envelope holds elements after its Body"};
  const xmlNode* call = FirstElement(part->children);
  if (!call) return RequestRefusal{"the Body is empty"};
  if (FirstElement(call->next)) return RequestRefusal{"the Body holds more than one element"};
  if (!Named(call, std::string(kServiceNamespace).c_str(), std::string(kOperation).c_str()))
    return RequestRefusal{std::string("the Body holds ") + reinterpret_cast<const char*>(call->name) +
                          ", not an IO_UpData_Common element of namespace RO_dErodo"};

  xmlSchemaValidCtxtPtr validator = xmlSchemaNewValidCtxt(m_impl->schema);
  if (!validator) return RequestRefusal{"out of memory"};
  xmlSchemaSetValidStructuredErrors(validator, &CollectError, &error);
  const int rc = xmlSchemaValidateOneElement(validator, const_cast<xmlNode*>(call));
  xmlSchemaFreeValidCtxt(validator);
  if (rc != 0) return RequestRefusal{error.empty() ? "the request does not match the operation's schema" : error};

  UploadCall values;
  std::size_t i = 0;
  for (const xmlNode* field = FirstElement(call->children); field && i < kFieldNames.size();
       field = FirstElement(field->next), ++i) {
    if (i == kSystemTypeField) {
      values.nSystemType = static_cast<std::int32_t>(std::stol(TextOf(field)));
      continue;
    }
    if (IsNil(field)) continue;
    std::string text = TextOf(field);
    values.values[i] = IsBlobField(i) ? DecodeBase64(text) : std::move(text);
  }
  return values;
}

}  // namespace receiver
