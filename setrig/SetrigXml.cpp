// Values of tags and attributes in XML files.
#include "setrig/Setrig.h"
#include "setrig/SetrigExport.h"
#include "setrig/ZubXmlEditor.h"

namespace {

// The file and the tag path present; for readers also a usable buffer,
// which is emptied first.
bool ArgumentsOk(const char* file, const char* tag) { return !setrig::IsNullOrEmpty(file) && tag != nullptr; }

bool ReaderOk(const char* file, const char* tag, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return false;
  setrig::ClearOut(buffer, size);
  return ArgumentsOk(file, tag);
}

}  // namespace

extern "C" {

int Setrig_XmlGetTagValue(const char* file, const char* tag, char* buffer, uint32_t size) {
  return setrig::Export(L"Setrig_XmlGetTagValue", [&] {
    if (!ReaderOk(file, tag, buffer, size)) return false;
    CZubXmlEditor editor;
    std::wstring value;
    if (!editor.Load(setrig::Wide(file)) || !editor.GetTagValue(setrig::Wide(tag), &value)) return false;
    return setrig::CopyOut(value, buffer, size);
  });
}

int Setrig_XmlSetTagValue(const char* file, const char* tag, const char* value) {
  return setrig::Export(L"Setrig_XmlSetTagValue", [&] {
    if (!ArgumentsOk(file, tag) || value == nullptr) return false;
    CZubXmlEditor editor;
    return editor.Load(setrig::Wide(file)) && editor.SetTagValue(setrig::Wide(tag), setrig::Wide(value), true) &&
           editor.Save();
  });
}

int Setrig_XmlGetAttributeValue(const char* file, const char* tag, const char* attribute, char* buffer, uint32_t size) {
  return setrig::Export(L"Setrig_XmlGetAttributeValue", [&] {
    if (!ReaderOk(file, tag, buffer, size) || setrig::IsNullOrEmpty(attribute)) return false;
    CZubXmlEditor editor;
    std::wstring value;
    if (!editor.Load(setrig::Wide(file)) ||
        !editor.GetAttributeValue(setrig::Wide(tag), setrig::Wide(attribute), &value)) {
      return false;
    }
    return setrig::CopyOut(value, buffer, size);
  });
}

int Setrig_XmlSetAttributeValue(const char* file, const char* tag, const char* attribute, const char* value) {
  return setrig::Export(L"Setrig_XmlSetAttributeValue", [&] {
    if (!ArgumentsOk(file, tag) || setrig::IsNullOrEmpty(attribute) || value == nullptr) return false;
    CZubXmlEditor editor;
    return editor.Load(setrig::Wide(file)) &&
           editor.SetAttributeValue(setrig::Wide(tag), setrig::Wide(attribute), setrig::Wide(value)) && editor.Save();
  });
}

}  // extern "C"
