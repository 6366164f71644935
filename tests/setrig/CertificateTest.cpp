// Certificate import and deletion with files made by the openssl program.
#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"
#include "tests/setrig/SetrigTestEnv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class SetrigCertificate : public ::testing::Test {
 protected:
  void SetUp() override { m_store = "Test" + std::to_string(++s_counter); }

  std::string Openssl(std::vector<std::string> args) {
    args.insert(args.begin(), "openssl");
    std::string out, err;
    EXPECT_EQ(netsnmp::Run(args, &out, &err), 0) << err;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }
  // A self-signed certificate with a fresh P-256 key: <name>.pem, <name>.key.
  std::string MakeCert(const std::string& name, const std::string& subject) {
    Openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
             m_dir.str(name + ".key"), "-out", m_dir.str(name + ".pem"), "-subj", subject, "-days", "2"});
    return m_dir.str(name + ".pem");
  }
  std::string Pkcs12(const std::string& name, const std::string& password, bool legacy = false) {
    std::vector<std::string> args = {"pkcs12",   "-export",
                                     "-in",      m_dir.str(name + ".pem"),
                                     "-inkey",   m_dir.str(name + ".key"),
                                     "-out",     m_dir.str(name + ".p12"),
                                     "-passout", "pass:" + password};
    if (legacy) args.push_back("-legacy");
    Openssl(args);
    return m_dir.str(name + ".p12");
  }
  std::string Fingerprint(const std::string& pem) { return Openssl({"x509", "-in", pem, "-noout", "-fingerprint"}); }
  std::string Stored(const std::string& pem, int n = 0) {
    return StoreDir() + "/" + Openssl({"x509", "-in", pem, "-noout", "-hash"}) + "." + std::to_string(n);
  }
  std::string StoreDir() const { return setrig::test::CertRoot() + "/" + m_store; }
  std::vector<fs::path> StoreFiles() const {
    std::error_code ec;
    return std::vector<fs::path>(fs::directory_iterator(StoreDir(), ec), fs::directory_iterator());
  }
  int Import(const std::string& file, const char* password) {
    return Setrig_CertificateImport(file.c_str(), password, m_store.c_str());
  }

  static inline int s_counter = 0;
  TempDir m_dir;
  std::string m_store;
};

TEST_F(SetrigCertificate, Pkcs7WithThreeCertificatesImportsOnlyTheFirst) {
  const std::string a = MakeCert("a", "/C=FR/O=Tavelo/CN=alpha.test");
  std::ofstream(m_dir.str("all.pem")) << netsnmp::ReadAll(a) << netsnmp::ReadAll(MakeCert("b", "/CN=beta.test"))
                                      << netsnmp::ReadAll(MakeCert("c", "/CN=gamma.test"));
  for (const char* form : {"PEM", "DER"}) {
    Openssl({"crl2pkcs7", "-nocrl", "-certfile", m_dir.str("all.pem"), "-outform", form, "-out", m_dir.str(form)});
  }

  ASSERT_EQ(Import(m_dir.str("PEM"), nullptr), 1);
  EXPECT_EQ(StoreFiles(), std::vector<fs::path>{Stored(a)});
  EXPECT_EQ(Fingerprint(Stored(a)), Fingerprint(a));
  // The DER form of the same certificate replaces the equal one.
  ASSERT_EQ(Import(m_dir.str("DER"), "ignored"), 1);
  EXPECT_EQ(StoreFiles(), std::vector<fs::path>{Stored(a)});
}

TEST_F(SetrigCertificate, Pkcs12WithAndWithoutPasswordAndLegacyCipher) {
  const std::string a = MakeCert("a", "/O=Tavelo/CN=keyed.test");
  ASSERT_EQ(Import(Pkcs12("a", "s3cret"), "s3cret"), 1);
  EXPECT_EQ(Fingerprint(Stored(a)), Fingerprint(a));
  struct stat info {};
  ASSERT_EQ(::stat((Stored(a) + ".key").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "the key is for the owner only";
  EXPECT_EQ(Openssl({"pkey", "-in", Stored(a) + ".key", "-pubout"}), Openssl({"x509", "-in", a, "-noout", "-pubkey"}));

  const std::string b = MakeCert("b", "/O=Tavelo/CN=open.test");
  EXPECT_EQ(Import(Pkcs12("b", ""), nullptr), 1) << "the empty password opens with a null one";
  EXPECT_EQ(Fingerprint(Stored(b)), Fingerprint(b));

  const std::string c = MakeCert("c", "/O=Tavelo/CN=legacy.test");  // RC2-40, as older exporters write
  const std::string old = Pkcs12("c", "pw", true);
  EXPECT_EQ(Import(old, "wrong"), 0);
  EXPECT_EQ(Import(old, "pw"), 1);
  EXPECT_EQ(Fingerprint(Stored(c)), Fingerprint(c));
  EXPECT_EQ(StoreFiles().size(), 6u);
}

TEST_F(SetrigCertificate, FailuresAreLoggedAndWriteNothing) {
  MakeCert("a", "/CN=wrong.test");
  const std::string p12 = Pkcs12("a", "right");
  std::ofstream(m_dir.str("junk.p7b")) << "not a certificate at all";
  LogCapture log;
  EXPECT_EQ(Import(p12, "wrong"), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::_import_pfx() : PFXImportCertStore() error", QUILLOG_ERROR));
  EXPECT_TRUE(log.Has(L"CZubCertificate::Import() : _import_pfx() error"));
  EXPECT_EQ(Import(p12, nullptr), 0);
  EXPECT_EQ(Import(m_dir.str("junk.p7b"), nullptr), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::_import_p7b() : CryptGetMessageCertificates() error"));
  EXPECT_TRUE(StoreFiles().empty());
  // A store name is one folder name under the root, never a path.
  EXPECT_EQ(Setrig_CertificateImport(p12.c_str(), "right", "../escape"), 0);
  EXPECT_EQ(Setrig_CertificateImport(p12.c_str(), "right", ""), 0);
  EXPECT_FALSE(fs::exists(setrig::test::Root() + "/escape"));
}

TEST_F(SetrigCertificate, DeleteBySubjectKeepsTheHashChainWhole) {
  // Same subject, two keys: the same hash, stored as .0 and .1.
  const std::string one = MakeCert("one", "/O=Tavelo/CN=Twin.Example");
  const std::string two = MakeCert("two", "/O=Tavelo/CN=Twin.Example");
  MakeCert("other", "/O=Elsewhere/CN=solo.example");
  for (const char* name : {"one", "two", "other"}) ASSERT_EQ(Import(Pkcs12(name, "pw"), "pw"), 1) << name;
  ASSERT_EQ(Fingerprint(Stored(one, 1)), Fingerprint(two));

  LogCapture log;
  EXPECT_EQ(Setrig_CertificateDelete("twin.EXAMPLE", m_store.c_str()), 1);
  EXPECT_EQ(Fingerprint(Stored(one)), Fingerprint(two)) << ".1 moves into .0 with its key";
  EXPECT_TRUE(fs::exists(Stored(one) + ".key"));
  EXPECT_FALSE(fs::exists(Stored(one, 1)));
  EXPECT_FALSE(fs::exists(Stored(one, 1) + ".key"));

  EXPECT_EQ(Setrig_CertificateDelete("Tavelo, Twin", m_store.c_str()), 1);
  EXPECT_EQ(Setrig_CertificateDelete("Twin", m_store.c_str()), 0);
  EXPECT_TRUE(log.Has(L"CZubCertificate::Delete() : CertFindCertificateInStore(Twin)"));
  EXPECT_EQ(StoreFiles().size(), 2u) << "the other certificate and its key stay";
  EXPECT_EQ(Setrig_CertificateDelete("", m_store.c_str()), 0) << "the empty text matches nothing";
  EXPECT_EQ(Setrig_CertificateDelete("solo", "NoSuchStore"), 0);
  EXPECT_EQ(Setrig_CertificateDelete("solo", m_store.c_str()), 1);
  EXPECT_TRUE(StoreFiles().empty());
}

}  // namespace
