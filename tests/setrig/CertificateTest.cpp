// Certificate import and deletion with files made by the openssl program.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"
#include "tests/setrig/SetrigTestEnv.h"

namespace fs = std::filesystem;

namespace {

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

class SetrigCertificate : public ::testing::Test {
 protected:
  void SetUp() override { m_store = "Test" + std::to_string(++s_counter); }

  // A self-signed certificate with a fresh P-256 key: <name>.pem, <name>.key.
  std::string MakeCert(const std::string& name, const std::string& subject) {
    std::string out;
    const int rc = netsnmp::Run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                                 "-nodes", "-keyout", m_dir.str(name + ".key"), "-out", m_dir.str(name + ".pem"),
                                 "-subj", subject, "-days", "2"},
                                &out);
    EXPECT_EQ(rc, 0) << out;
    return m_dir.str(name + ".pem");
  }
  std::string Openssl(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"openssl"};
    all.insert(all.end(), args.begin(), args.end());
    std::string out, err;
    EXPECT_EQ(netsnmp::Run(all, &out, &err), 0) << err;
    return Trim(out);
  }
  std::string Fingerprint(const std::string& pem) { return Openssl({"x509", "-in", pem, "-noout", "-fingerprint"}); }
  std::string Hash(const std::string& pem) { return Openssl({"x509", "-in", pem, "-noout", "-hash"}); }
  std::string StoreDir() const { return setrig::test::CertRoot() + "/" + m_store; }
  std::vector<std::string> StoreFiles() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(StoreDir(), ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Pkcs12(const std::string& name, const std::string& password, bool legacy = false) {
    const std::string path = m_dir.str(name + ".p12");
    std::vector<std::string> args = {"pkcs12", "-export", "-in", m_dir.str(name + ".pem"), "-inkey",
                                     m_dir.str(name + ".key"), "-out", path, "-passout", "pass:" + password};
    if (legacy) args.push_back("-legacy");
    Openssl(args);
    return path;
  }

  static inline int s_counter = 0;
  TempDir m_dir;
  std::string m_store;
};

TEST_F(SetrigCertificate, Pkcs7WithThreeCertificatesImportsOnlyTheFirst) {
  const std::string a = MakeCert("a", "/C=FR/O=Tavelo/CN=alpha.test");
  const std::string b = MakeCert("b", "/C=FR/O=Tavelo/CN=beta.test");
  const std::string c = MakeCert("c", "/C=FR/O=Tavelo/CN=gamma.test");
  const std::string all = m_dir.str("all.pem");
  std::ofstream(all) << netsnmp::ReadAll(a) << netsnmp::ReadAll(b) << netsnmp::ReadAll(c);
  const std::string pem7 = m_dir.str("three.p7b");
  const std::string der7 = m_dir.str("three.p7c");
  Openssl({"crl2pkcs7", "-nocrl", "-certfile", all, "-out", pem7});
  Openssl({"crl2pkcs7", "-nocrl", "-certfile", all, "-outform", "DER", "-out", der7});

  ASSERT_EQ(Setrig_CertificateImport(pem7.c_str(), nullptr, m_store.c_str()), 1);
  const std::string stored = Hash(a) + ".0";
  EXPECT_EQ(StoreFiles(), std::vector<std::string>{stored});
  EXPECT_EQ(Fingerprint(StoreDir() + "/" + stored), Fingerprint(a));

  // The same certificate from the DER form replaces the equal one.
  ASSERT_EQ(Setrig_CertificateImport(der7.c_str(), "ignored", m_store.c_str()), 1);
  EXPECT_EQ(StoreFiles(), std::vector<std::string>{stored});
}

TEST_F(SetrigCertificate, Pkcs12KeepsTheKeyBesideForTheOwnerOnly) {
  const std::string a = MakeCert("a", "/O=Tavelo/CN=keyed.test");
  const std::string p12 = Pkcs12("a", "s3cret");
  ASSERT_EQ(Setrig_CertificateImport(p12.c_str(), "s3cret", m_store.c_str()), 1);
  const std::string stored = StoreDir() + "/" + Hash(a) + ".0";
  EXPECT_EQ(Fingerprint(stored), Fingerprint(a));
  struct stat info {};
  ASSERT_EQ(::stat((stored + ".key").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(Openssl({"pkey", "-in", stored + ".key", "-pubout"}), Openssl({"x509", "-in", a, "-noout", "-pubkey"}));

  // A file made with the empty password opens with a null one.
  const std::string b = MakeCert("b", "/O=Tavelo/CN=open.test");
  const std::string open = Pkcs12("b", "");
  EXPECT_EQ(Setrig_CertificateImport(open.c_str(), nullptr, m_store.c_str()), 1);
  EXPECT_EQ(StoreFiles().size(), 4u);

  // Older exporters protect the contents with RC2-40: still read.
  const std::string c = MakeCert("c", "/O=Tavelo/CN=legacy.test");
  const std::string old = Pkcs12("c", "pw", true);
  EXPECT_EQ(Setrig_CertificateImport(old.c_str(), "wrong", m_store.c_str()), 0);
  EXPECT_EQ(Setrig_CertificateImport(old.c_str(), "pw", m_store.c_str()), 1);
  EXPECT_EQ(Fingerprint(StoreDir() + "/" + Hash(c) + ".0"), Fingerprint(c));
}

TEST_F(SetrigCertificate, FailuresLogThePartsOfTheImport) {
  MakeCert("a", "/CN=wrong.test");
  const std::string p12 = Pkcs12("a", "right");
  LogCapture log;
  EXPECT_EQ(Setrig_CertificateImport(p12.c_str(), "wrong", m_store.c_str()), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::_import_pfx() : PFXImportCertStore() error", QUILLOG_ERROR));
  EXPECT_TRUE(log.Has(L"CZubCertificate::Import() : _import_pfx() error"));
  EXPECT_EQ(Setrig_CertificateImport(p12.c_str(), nullptr, m_store.c_str()), 0);
  EXPECT_TRUE(StoreFiles().empty());

  EXPECT_EQ(Setrig_CertificateImport(m_dir.str("missing.p7b").c_str(), nullptr, m_store.c_str()), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::Import() : Certificate filename is not valid"));
  std::ofstream(m_dir.str("junk.p7b")) << "not a certificate at all";
  EXPECT_EQ(Setrig_CertificateImport(m_dir.str("junk.p7b").c_str(), nullptr, m_store.c_str()), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::_import_p7b() : CryptGetMessageCertificates() error"));
  EXPECT_TRUE(log.Has(L"CZubCertificate::Import() : _import_p7b() error"));

  // A store name is one folder name under the root, never a path.
  const std::string p7 = m_dir.str("one.p7b");
  Openssl({"crl2pkcs7", "-nocrl", "-certfile", m_dir.str("a.pem"), "-out", p7});
  EXPECT_EQ(Setrig_CertificateImport(p7.c_str(), nullptr, "../escape"), 0);
  EXPECT_EQ(Setrig_CertificateImport(p7.c_str(), nullptr, ".."), 0);
  EXPECT_EQ(Setrig_CertificateImport(p7.c_str(), nullptr, ""), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::_import_certificate() : CertOpenStore() error"));
  EXPECT_FALSE(fs::exists(setrig::test::Root() + "/escape"));
}

TEST_F(SetrigCertificate, DeleteFindsTheFirstSubjectContainingTheText) {
  // Same subject, two keys: the same hash, stored as .0 and .1.
  const std::string one = MakeCert("one", "/O=Tavelo/CN=Twin.Example");
  const std::string two = MakeCert("two", "/O=Tavelo/CN=Twin.Example");
  const std::string other = MakeCert("other", "/O=Elsewhere/CN=solo.example");
  for (const char* name : {"one", "two", "other"}) {
    ASSERT_EQ(Setrig_CertificateImport(Pkcs12(name, "pw").c_str(), "pw", m_store.c_str()), 1) << name;
  }
  const std::string hash = Hash(one);
  ASSERT_EQ(Fingerprint(StoreDir() + "/" + hash + ".1"), Fingerprint(two));

  LogCapture log;
  EXPECT_EQ(Setrig_CertificateDelete("twin.EXAMPLE", m_store.c_str()), 1);
  // The chain stays without a hole: .1 moved into .0 with its key.
  EXPECT_EQ(Fingerprint(StoreDir() + "/" + hash + ".0"), Fingerprint(two));
  EXPECT_FALSE(fs::exists(StoreDir() + "/" + hash + ".1"));
  EXPECT_FALSE(fs::exists(StoreDir() + "/" + hash + ".1.key"));
  EXPECT_TRUE(fs::exists(StoreDir() + "/" + hash + ".0.key"));

  EXPECT_EQ(Setrig_CertificateDelete("Tavelo, Twin", m_store.c_str()), 1);
  EXPECT_EQ(Setrig_CertificateDelete("Twin", m_store.c_str()), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::Delete() : CertFindCertificateInStore(Twin)"));
  EXPECT_EQ(StoreFiles().size(), 2u) << "the other certificate and its key stay";
  EXPECT_EQ(Setrig_CertificateDelete("", m_store.c_str()), 0);
  EXPECT_EQ(Setrig_CertificateDelete("solo", "NoSuchStore"), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::Delete() : CertOpenStore() error"));
  EXPECT_EQ(Setrig_CertificateDelete("solo", m_store.c_str()), 1);
  EXPECT_TRUE(StoreFiles().empty());
}

}  // namespace
