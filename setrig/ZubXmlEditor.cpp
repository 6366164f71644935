#include "setrig/ZubXmlEditor.h"

#include "kit/ZubFileRead.h"
#include "quillog/Quillog.h"
#include "setrig/AtomicFile.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <mutex>

namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct XPathContextFree {
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
struct XmlCharFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
struct BufferFree {
  void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};
using XmlText = std::unique_ptr<xmlChar, XmlCharFree>;

void QuietError(void*, xmlError*) {}

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

const xmlChar* Chars(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

std::wstring Wide(const xmlChar* text) {
  return text == nullptr ? std::wstring() : quillog::Utf8ToWide(reinterpret_cast<const char*>(text));
}

// True when every character may appear in an XML 1.0 document.
bool IsXmlText(const std::wstring& text) {
  for (wchar_t c : text) {
    const auto u = static_cast<uint32_t>(c);
    const bool ok = u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) || (u >= 0xE000 && u <= 0xFFFD) ||
                    (u >= 0x10000 && u <= 0x10FFFF);
    if (!ok) return false;
  }
  return true;
}

// Skips a byte-order mark and white space: does the text start with "<?xml"?
bool HasDeclaration(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") return true;  // UTF-16 keeps its form
  return text.substr(0, 5) == "<?xml";
}

xmlNode* FirstTextChild(xmlNode* element) {
  for (xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) return child;
  }
  return nullptr;
}

// "prefix:name" looks the prefix up among the namespaces in scope.
xmlAttr* FindAttribute(xmlNode* element, const std::string& name) {
  const size_t colon = name.find(':');
  if (colon == std::string::npos) return xmlHasNsProp(element, Chars(name), nullptr);
  const std::string prefix = name.substr(0, colon);
  xmlNs* ns = xmlSearchNs(element->doc, element, Chars(prefix));
  if (ns == nullptr) return nullptr;
  return xmlHasNsProp(element, Chars(name.substr(colon + 1)), ns->href);
}

}  // namespace

void CZubXmlEditor::DocFree::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

CZubXmlEditor::CZubXmlEditor() { InitLibrary(); }

CZubXmlEditor::~CZubXmlEditor() = default;

bool CZubXmlEditor::Load(const std::wstring& path) {
  if (m_doc) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"A file is already loaded in the XmlEditor");
    return false;
  }
  CZubFileRead file;
  if (path.empty() || !file.Open(path)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"XML file %s does not exist", path);
    return false;
  }
  if (!LoadText(file.GetView(), path)) return false;
  m_path = path;
  return true;
}

bool CZubXmlEditor::LoadText(std::string_view text, const std::wstring& name) {
  if (m_doc) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"A file is already loaded in the XmlEditor");
    return false;
  }
  xmlDoc* doc = text.size() > static_cast<size_t>(INT32_MAX)
                    ? nullptr
                    : xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, kParseOptions);
  if (doc == nullptr || xmlDocGetRootElement(doc) == nullptr) {
    if (doc != nullptr) xmlFreeDoc(doc);
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to load the XML file %s", name);
    return false;
  }
  m_doc.reset(doc);
  m_declared = HasDeclaration(text);
  return true;
}

std::string CZubXmlEditor::Serialize() const {
  if (!m_doc) return {};
  std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
  if (!buffer) return {};
  const char* encoding = m_doc->encoding != nullptr ? reinterpret_cast<const char*>(m_doc->encoding) : nullptr;
  xmlSaveCtxt* save = xmlSaveToBuffer(buffer.get(), encoding, m_declared ? 0 : XML_SAVE_NO_DECL);
  if (save == nullptr) return {};
  const long written = xmlSaveDoc(save, m_doc.get());
  if (xmlSaveClose(save) < 0 || written < 0) return {};
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<size_t>(xmlBufferLength(buffer.get())));
}

bool CZubXmlEditor::Save() {
  const std::string text = Serialize();
  // What is written must read back: never leave a file that does not parse.
  xmlDoc* check = text.empty()
                      ? nullptr
                      : xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, kParseOptions);
  const bool parses = check != nullptr;
  if (check != nullptr) xmlFreeDoc(check);
  std::string error;
  if (m_path.empty() || !parses || !setrig::ReplaceFileAtomically(quillog::WideToUtf8(m_path), text, &error)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to save the XML file %s", m_path);
    return false;
  }
  return true;
}

_xmlNode* CZubXmlEditor::_select_element(const std::wstring& tag) {
  if (!m_doc) return nullptr;
  if (tag.empty()) return xmlDocGetRootElement(m_doc.get());
  std::unique_ptr<xmlXPathContext, XPathContextFree> context(xmlXPathNewContext(m_doc.get()));
  if (!context) return nullptr;
  context->error = &QuietError;
  xmlNode* root = xmlDocGetRootElement(m_doc.get());
  for (xmlNs* ns = root->nsDef; ns != nullptr; ns = ns->next) {
    if (ns->prefix != nullptr && ns->href != nullptr) xmlXPathRegisterNs(context.get(), ns->prefix, ns->href);
  }
  const std::string expression = quillog::WideToUtf8(tag);
  std::unique_ptr<xmlXPathObject, XPathObjectFree> result(xmlXPathEvalExpression(Chars(expression), context.get()));
  if (!result || result->type != XPATH_NODESET || xmlXPathNodeSetIsEmpty(result->nodesetval)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to load tag %s", tag);
    return nullptr;
  }
  xmlNode* node = xmlXPathNodeSetItem(result->nodesetval, 0);
  if (node == nullptr || node->type != XML_ELEMENT_NODE) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The node %s is not a NODE_ELEMENT type", tag);
    return nullptr;
  }
  return node;
}

bool CZubXmlEditor::GetTagValue(const std::wstring& tag, std::wstring* value) {
  xmlNode* element = _select_element(tag);
  if (element == nullptr) return false;
  XmlText text(xmlNodeGetContent(element));
  if (!text) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to get the text value of the tag %s", tag);
    return false;
  }
  *value = Wide(text.get());
  return true;
}

bool CZubXmlEditor::SetTagValue(const std::wstring& tag, const std::wstring& value, bool replace) {
  xmlNode* element = _select_element(tag);
  if (element == nullptr) return false;
  if (!IsXmlText(value)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to set the value of xml tag %s to %s", tag, value);
    return false;
  }
  const std::string text = quillog::WideToUtf8(value);
  xmlNode* existing = FirstTextChild(element);
  if (existing != nullptr) {
    if (!replace && existing->content != nullptr && existing->content[0] != 0) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"The tag %s has already a value", tag);
      return false;
    }
    xmlNodeSetContent(existing, Chars(text));
    return true;
  }
  xmlNode* node = xmlNewDocText(m_doc.get(), Chars(text));
  if (node == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to create the new text node");
    return false;
  }
  if (xmlAddChild(element, node) == nullptr) {
    xmlFreeNode(node);
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to attach the new text node");
    return false;
  }
  return true;
}

bool CZubXmlEditor::GetAttributeValue(const std::wstring& tag, const std::wstring& attribute, std::wstring* value) {
  xmlNode* element = _select_element(tag);
  if (element == nullptr) return false;
  xmlAttr* found = attribute.empty() ? nullptr : FindAttribute(element, quillog::WideToUtf8(attribute));
  if (found == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to get the attribute %s of the tag %s", attribute, tag);
    return false;
  }
  XmlText text(xmlNodeGetContent(reinterpret_cast<xmlNode*>(found)));
  if (!text) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to get the text value of the attribute %s of the tag %s", attribute,
             tag);
    return false;
  }
  *value = Wide(text.get());
  return true;
}

bool CZubXmlEditor::SetAttributeValue(const std::wstring& tag, const std::wstring& attribute,
                                      const std::wstring& value) {
  xmlNode* element = _select_element(tag);
  if (element == nullptr) return false;
  const std::string name = quillog::WideToUtf8(attribute);
  const std::string text = quillog::WideToUtf8(value);
  if (!IsXmlText(value)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to set the value of xml attribute %s:%s to %s", tag, attribute, value);
    return false;
  }
  if (xmlAttr* existing = FindAttribute(element, name)) {
    // The value is stored as it is: no entity references are read in it.
    if (xmlSetNsProp(element, existing->ns, existing->name, Chars(text)) != nullptr) return true;
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to set the value of xml attribute %s:%s to %s", tag, attribute, value);
    return false;
  }
  const size_t colon = name.find(':');
  xmlNs* ns = nullptr;
  if (colon != std::string::npos) ns = xmlSearchNs(m_doc.get(), element, Chars(name.substr(0, colon)));
  const std::string local = colon == std::string::npos ? name : name.substr(colon + 1);
  const bool valid = xmlValidateNCName(Chars(local), 0) == 0 && (colon == std::string::npos || ns != nullptr);
  if (!valid || xmlNewNsProp(element, ns, Chars(local), Chars(text)) == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to add the new attribute");
    return false;
  }
  return true;
}
