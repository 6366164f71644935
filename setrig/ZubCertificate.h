// Certificate stores as folders of PEM files: the store X of the machine is
// <root>/X/, one certificate per file named by its subject hash as c_rehash
// names them (<hash>.0, <hash>.1, ...). A private key imported with a
// certificate sits beside it as <hash>.<n>.key, readable by its owner only.
// The root is $SETRIG_CERT_ROOT, /etc/tavelo/certs when unset.
#pragma once

#include <string>

class CZubCertificate {
 public:
  // Imports the first certificate of a PKCS #12 file (null password: the
  // empty one) or of a PKCS #7 file (DER or PEM) into the store, replacing
  // an equal certificate.
  bool Import(const std::wstring& file, const char* password, const std::wstring& store);
  // Deletes the first certificate whose subject contains the text (case
  // ignored; the subject read as its attribute values joined by ", ").
  bool Delete(const std::wstring& subject, const std::wstring& store);

  static std::string StoreRoot();
  // The store's folder, or empty for a name that is not a plain folder name.
  static std::string StoreFolder(const std::wstring& store);
};
