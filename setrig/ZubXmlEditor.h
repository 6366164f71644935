// Reads and changes one XML file with libxml2: a tag path is an XPath 1.0
// expression whose first match must be an element; the empty path is the
// document element. Prefixes declared on the document element can be used
// in the path. Saving writes a new file beside the old one and renames it
// over it, and only after the new text has been parsed back.
#pragma once

#include <memory>
#include <string>

struct _xmlDoc;
struct _xmlNode;

class CZubXmlEditor {
 public:
  CZubXmlEditor();
  ~CZubXmlEditor();
  CZubXmlEditor(const CZubXmlEditor&) = delete;
  CZubXmlEditor& operator=(const CZubXmlEditor&) = delete;

  bool Load(const std::wstring& path);
  // Parses text already in memory; `name` is used in messages.
  bool LoadText(std::string_view text, const std::wstring& name);
  bool Save();

  bool GetTagValue(const std::wstring& tag, std::wstring* value);
  // Without replace, an element that already has text is left alone.
  bool SetTagValue(const std::wstring& tag, const std::wstring& value, bool replace = true);
  bool GetAttributeValue(const std::wstring& tag, const std::wstring& attribute, std::wstring* value);
  bool SetAttributeValue(const std::wstring& tag, const std::wstring& attribute, const std::wstring& value);

  // The document as it would be saved (empty when none is loaded).
  std::string Serialize() const;

 private:
  struct DocFree {
    void operator()(_xmlDoc* doc) const;
  };

  _xmlNode* _select_element(const std::wstring& tag);

  std::unique_ptr<_xmlDoc, DocFree> m_doc;
  std::wstring m_path;
  bool m_declared = true;  // the file began with an XML declaration
};
