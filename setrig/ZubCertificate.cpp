#include "setrig/ZubCertificate.h"

#include "kit/ZubFileRead.h"
#include "quillog/Quillog.h"
#include "setrig/AtomicFile.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct BioFree {
  void operator()(BIO* b) const { BIO_free(b); }
};
struct X509Free {
  void operator()(X509* x) const { X509_free(x); }
};
struct KeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct Pkcs12Free {
  void operator()(PKCS12* p) const { PKCS12_free(p); }
};
struct Pkcs7Free {
  void operator()(PKCS7* p) const { PKCS7_free(p); }
};
struct OpenSslFree {
  void operator()(unsigned char* p) const { OPENSSL_free(p); }
};
struct X509StackFree {
  void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};
using Bio = std::unique_ptr<BIO, BioFree>;
using Cert = std::unique_ptr<X509, X509Free>;
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertStack = std::unique_ptr<STACK_OF(X509), X509StackFree>;

constexpr const char* kDefaultRoot = "/etc/tavelo/certs";

// What a file brought: its first certificate and, from PKCS #12, the key.
struct Imported {
  Cert cert;
  Key key;
};

Bio MemoryBio(std::string_view bytes) { return Bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size()))); }

// The platform's PFX test: the bytes are one DER PKCS #12 structure.
std::unique_ptr<PKCS12, Pkcs12Free> ParsePfx(std::string_view bytes) {
  Bio bio = MemoryBio(bytes);
  if (!bio) return nullptr;
  return std::unique_ptr<PKCS12, Pkcs12Free>(d2i_PKCS12_bio(bio.get(), nullptr));
}

// Files exported by older systems protect their contents with RC2 or
// 3DES-era ciphers that OpenSSL 3 keeps in its legacy provider. Loaded
// once, on first need, with the default provider beside it.
class CLegacyProviders {
 public:
  CLegacyProviders()
      : m_legacy(OSSL_PROVIDER_load(nullptr, "legacy")), m_default(OSSL_PROVIDER_load(nullptr, "default")) {}
  ~CLegacyProviders() {
    if (m_legacy != nullptr) OSSL_PROVIDER_unload(m_legacy);
    if (m_default != nullptr) OSSL_PROVIDER_unload(m_default);
  }
  CLegacyProviders(const CLegacyProviders&) = delete;
  CLegacyProviders& operator=(const CLegacyProviders&) = delete;
  bool Loaded() const { return m_legacy != nullptr && m_default != nullptr; }

 private:
  OSSL_PROVIDER* m_legacy;
  OSSL_PROVIDER* m_default;
};

bool LoadLegacyProvider() {
  static const CLegacyProviders providers;
  return providers.Loaded();
}

bool ParsePfxContents(PKCS12* pfx, const char* password, Imported* result, CertStack* chain) {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  STACK_OF(X509)* others = nullptr;
  const int ok = PKCS12_parse(pfx, password == nullptr ? "" : password, &key, &cert, &others);
  result->cert.reset(cert);
  result->key.reset(key);
  chain->reset(others);
  return ok == 1;
}

bool MacMatches(PKCS12* pfx, const char* password) {
  if (password == nullptr) return PKCS12_verify_mac(pfx, "", 0) == 1 || PKCS12_verify_mac(pfx, nullptr, 0) == 1;
  return PKCS12_verify_mac(pfx, password, -1) == 1;
}

std::optional<Imported> ImportPfx(PKCS12* pfx, const char* password) {
  Imported result;
  CertStack chain;
  bool ok = ParsePfxContents(pfx, password, &result, &chain);
  // The right password and a legacy cipher: the MAC matches, the contents do not decrypt.
  if (!ok && MacMatches(pfx, password) && LoadLegacyProvider()) {
    ok = ParsePfxContents(pfx, password, &result, &chain);
  }
  if (!ok) return std::nullopt;
  // The certificate that goes with the key comes first; without one, the
  // first of the others.
  if (!result.cert && chain && sk_X509_num(chain.get()) > 0) {
    result.cert.reset(sk_X509_shift(chain.get()));
    result.key.reset();
  }
  return result;
}

// The certificates of a PKCS #7 message, DER or PEM; null when the bytes
// are not one.
std::unique_ptr<PKCS7, Pkcs7Free> ParsePkcs7(std::string_view bytes) {
  Bio der = MemoryBio(bytes);
  if (!der) return nullptr;
  std::unique_ptr<PKCS7, Pkcs7Free> p7(d2i_PKCS7_bio(der.get(), nullptr));
  if (p7) return p7;
  Bio pem = MemoryBio(bytes);
  if (!pem) return nullptr;
  return std::unique_ptr<PKCS7, Pkcs7Free>(PEM_read_bio_PKCS7(pem.get(), nullptr, nullptr, nullptr));
}

STACK_OF(X509) * Pkcs7Certificates(PKCS7* p7) {
  if (PKCS7_type_is_signed(p7) && p7->d.sign != nullptr) return p7->d.sign->cert;
  if (PKCS7_type_is_signedAndEnveloped(p7) && p7->d.signed_and_enveloped != nullptr) {
    return p7->d.signed_and_enveloped->cert;
  }
  return nullptr;
}

Cert ReadPemCertificate(const std::string& path) {
  std::string bytes;
  if (!setrig::ReadWholeFile(path, &bytes)) return nullptr;
  Bio bio = MemoryBio(bytes);
  if (!bio) return nullptr;
  return Cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

std::string CertificatePem(X509* cert) {
  Bio bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), cert) != 1) return {};
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(size));
}

std::string KeyPem(EVP_PKEY* key) {
  Bio bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) return {};
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(size));
}

std::string HashName(X509* cert) {
  char name[16];
  std::snprintf(name, sizeof name, "%08lx", X509_subject_name_hash(cert));
  return name;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The subject as its attribute values joined by ", ".
std::wstring SimpleSubject(X509* cert) {
  const X509_NAME* name = X509_get_subject_name(cert);
  std::wstring text;
  for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, i));
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, value);
    std::unique_ptr<unsigned char, OpenSslFree> owned(utf8);
    if (length < 0) continue;
    if (!text.empty()) text += L", ";
    text += quillog::Utf8ToWide(std::string_view(reinterpret_cast<char*>(utf8), static_cast<size_t>(length)));
  }
  return text;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return text;
}

// The hashed files of one subject hash, in order: <hash>.0, <hash>.1, ...
std::vector<std::string> HashChain(const std::string& folder, const std::string& hash) {
  std::vector<std::string> chain;
  for (int n = 0;; ++n) {
    const std::string path = folder + "/" + hash + "." + std::to_string(n);
    if (!Exists(path)) return chain;
    chain.push_back(path);
  }
}

bool IsHashedName(const std::string& name) {
  const size_t dot = name.find('.');
  if (dot != 8 || name.size() == 9) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (i < 8 && !std::isxdigit(static_cast<unsigned char>(c))) return false;
    if (i > 8 && !std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool StoreCertificate(const std::string& folder, const Imported& imported) {
  const std::string hash = HashName(imported.cert.get());
  const std::vector<std::string> chain = HashChain(folder, hash);
  std::string target = folder + "/" + hash + "." + std::to_string(chain.size());
  for (const std::string& path : chain) {
    Cert existing = ReadPemCertificate(path);
    if (existing && X509_cmp(existing.get(), imported.cert.get()) == 0) {
      target = path;  // replaces the equal certificate
      break;
    }
  }
  std::string error;
  if (imported.key) {
    const std::string key = KeyPem(imported.key.get());
    if (key.empty() || !setrig::WriteFileAtomically(target + ".key", key, 0600, &error)) {
      QuillogW(QUILLOG_ERROR, QLF_NONE,
               L"CZubCertificate::_import_certificate() : Unable to store the private key (%S)", error);
      return false;
    }
  }
  const std::string pem = CertificatePem(imported.cert.get());
  if (pem.empty() || !setrig::WriteFileAtomically(target, pem, 0644, &error)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE,
             L"CZubCertificate::_import_certificate() : CertAddCertificateContextToStore() error");
    return false;
  }
  return true;
}

// Removes one hashed file and its key, moving the chain's last file into
// the gap so that <hash>.0 ... stays without holes.
bool RemoveHashed(const std::string& folder, const std::string& name) {
  const std::string path = folder + "/" + name;
  const std::vector<std::string> chain = HashChain(folder, name.substr(0, 8));
  if (::unlink(path.c_str()) != 0) return false;
  ::unlink((path + ".key").c_str());
  if (chain.empty() || chain.back() == path) return true;
  const std::string& last = chain.back();
  ::rename(last.c_str(), path.c_str());
  if (Exists(last + ".key")) ::rename((last + ".key").c_str(), (path + ".key").c_str());
  return true;
}

}  // namespace

std::string CZubCertificate::StoreRoot() {
  const char* root = std::getenv("SETRIG_CERT_ROOT");
  return root != nullptr && root[0] != '\0' ? root : kDefaultRoot;
}

std::string CZubCertificate::StoreFolder(const std::wstring& store) {
  if (store.empty() || store == L"." || store == L".." || store.find(L'/') != std::wstring::npos ||
      store.find(L'\0') != std::wstring::npos) {
    return {};
  }
  return StoreRoot() + "/" + quillog::WideToUtf8(store);
}

bool CZubCertificate::Import(const std::wstring& file, const char* password, const std::wstring& store) {
  CZubFileRead reader;
  if (file.empty() || !reader.Open(file)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::Import() : Certificate filename is not valid");
    return false;
  }
  const std::string_view bytes = reader.GetView();
  std::optional<Imported> imported;
  if (auto pfx = ParsePfx(bytes)) {
    imported = ImportPfx(pfx.get(), password);
    if (!imported) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::_import_pfx() : PFXImportCertStore() error");
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::Import() : _import_pfx() error");
      ERR_clear_error();
      return false;
    }
  } else {
    auto p7 = ParsePkcs7(bytes);
    STACK_OF(X509)* certs = p7 ? Pkcs7Certificates(p7.get()) : nullptr;
    if (!p7) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::_import_p7b() : CryptGetMessageCertificates() error");
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::Import() : _import_p7b() error");
      ERR_clear_error();
      return false;
    }
    imported = Imported{};
    if (certs != nullptr && sk_X509_num(certs) > 0) {
      X509* first = sk_X509_value(certs, 0);
      X509_up_ref(first);
      imported->cert.reset(first);
    }
  }
  ERR_clear_error();
  if (!imported->cert) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::_import_certificate() : CertEnumCertificatesInStore() error");
    return false;
  }
  const std::string folder = StoreFolder(store);
  std::error_code ec;
  if (folder.empty() || (std::filesystem::create_directories(folder, ec), !std::filesystem::is_directory(folder, ec))) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::_import_certificate() : CertOpenStore() error");
    return false;
  }
  return StoreCertificate(folder, *imported);
}

bool CZubCertificate::Delete(const std::wstring& subject, const std::wstring& store) {
  const std::string folder = StoreFolder(store);
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::Delete() : CertOpenStore() error");
    return false;
  }
  if (subject.empty()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::Delete() : CertFindCertificateInStore(%s)", subject);
    return false;
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (IsHashedName(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  const std::wstring wanted = Lower(subject);
  for (const std::string& name : names) {
    Cert cert = ReadPemCertificate(folder + "/" + name);
    if (!cert || Lower(SimpleSubject(cert.get())).find(wanted) == std::wstring::npos) continue;
    if (RemoveHashed(folder, name)) return true;
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::Delete() : CertDeleteCertificateFromStore(%s)", subject);
    return false;
  }
  ERR_clear_error();
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"CZubCertificate::Delete() : CertFindCertificateInStore(%s)", subject);
  return false;
}
