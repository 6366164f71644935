// libsetrig.so as an installer sees it: loaded by name, its header used from
// C, the rules every export follows; certificates made by the openssl
// program, service units, host, port and URL checks on loopback, XML files.
#include "kit/ZubTcpSocket.h"
#include "setrig/Setrig.h"
#include "setrig/SetrigExport.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"
#include "tests/setrig/SetrigTestEnv.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" int SetrigHeaderIsC(void);
namespace fs = std::filesystem;

namespace {

const std::set<std::string> kExports = {
    "Setrig_CertificateDelete",    "Setrig_CertificateImport", "Setrig_OdbcCheckConnect",     "Setrig_OdbcGetDriver",
    "Setrig_OdbcPlayScript",       "Setrig_ServiceCreate",     "Setrig_ServiceDelete",        "Setrig_ServiceStart",
    "Setrig_ServiceStop",          "Setrig_SockCheckHostname", "Setrig_SockCheckTcpPort",     "Setrig_SockParseUrl",
    "Setrig_XmlGetAttributeValue", "Setrig_XmlGetTagValue",    "Setrig_XmlSetAttributeValue", "Setrig_XmlSetTagValue",
};

TEST(SetrigDlopen, HeaderServesACaller) { EXPECT_EQ(SetrigHeaderIsC(), 1); }

TEST(SetrigDlopen, ExactlyTheSixteenExportsAreDynamicSymbols) {
  struct DlClose {
    void operator()(void* handle) const { dlclose(handle); }
  };
  std::unique_ptr<void, DlClose> lib(dlopen(SETRIG_LIBRARY, RTLD_NOW | RTLD_LOCAL));
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const std::string& name : kExports) EXPECT_NE(dlsym(lib.get(), name.c_str()), nullptr) << name;

  std::string out, err;
  ASSERT_EQ(netsnmp::Run({"nm", "-D", "--defined-only", SETRIG_LIBRARY}, &out, &err), 0) << err;
  std::set<std::string> symbols;
  for (const std::string& line : netsnmp::Lines(out)) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name) symbols.insert(name);
  }
  EXPECT_EQ(symbols, kExports);
}

TEST(SetrigExport, CopyOutCutsAtACharacterBoundaryAndTerminates) {
  const std::string text = "ab\u00e9c\u20ac";  // 2 + 2 + 1 + 3 bytes
  struct Case {
    uint32_t size;
    std::string expected;
  };
  for (const Case& c : {Case{9, text}, Case{8, "ab\u00e9c"}, Case{4, "ab"}, Case{1, ""}}) {
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    ASSERT_TRUE(setrig::CopyOut(text, buffer, c.size)) << c.size;
    EXPECT_EQ(std::string(buffer), c.expected) << c.size;
    EXPECT_EQ(buffer[c.size], 'X') << "wrote past size " << c.size;
  }
  char buffer[8];
  EXPECT_FALSE(setrig::CopyOut(text, buffer, 0));
  EXPECT_FALSE(setrig::CopyOut(text, nullptr, 8));
  ASSERT_TRUE(setrig::CopyOut(std::wstring(L"\u00e9\U0001F600"), buffer, 6));
  EXPECT_EQ(std::string(buffer), "\xC3\xA9");
}

TEST(SetrigExport, NoExceptionLeavesAnExport) {
  LogCapture log;
  EXPECT_EQ(setrig::Export(L"Setrig_Test", []() -> bool { throw std::runtime_error("boom"); }), 0);
  EXPECT_TRUE(log.HasContaining(L"Setrig_Test() : An exception is caught : [boom]"));
  EXPECT_EQ(setrig::Export(L"Setrig_Test", []() -> bool { throw new CZubException(L"kit %d", 7); }), 0);
  EXPECT_TRUE(log.HasContaining(L"[kit 7]"));
}

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
    const std::string p12 = m_dir.str(name + ".p12");
    std::vector<std::string> args = {"pkcs12", "-export", "-in", m_dir.str(name + ".pem"), "-out", p12};
    args.insert(args.end(), {"-inkey", m_dir.str(name + ".key"), "-passout", "pass:" + password});
    if (legacy) args.push_back("-legacy");
    Openssl(args);
    return p12;
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

  EXPECT_EQ(Setrig_CertificateDelete("twin.EXAMPLE", m_store.c_str()), 1);
  EXPECT_EQ(Fingerprint(Stored(one)), Fingerprint(two)) << ".1 moves into .0 with its key";
  EXPECT_TRUE(fs::exists(Stored(one) + ".key"));
  EXPECT_FALSE(fs::exists(Stored(one, 1) + ".key"));

  EXPECT_EQ(Setrig_CertificateDelete("Tavelo, Twin", m_store.c_str()), 1);
  EXPECT_EQ(Setrig_CertificateDelete("Twin", m_store.c_str()), 0);
  EXPECT_EQ(StoreFiles().size(), 2u) << "the other certificate and its key stay";
  EXPECT_EQ(Setrig_CertificateDelete("", m_store.c_str()), 0) << "the empty text matches nothing";
  EXPECT_EQ(Setrig_CertificateDelete("solo", "NoSuchStore"), 0);
  EXPECT_EQ(Setrig_CertificateDelete("solo", m_store.c_str()), 1);
  EXPECT_TRUE(StoreFiles().empty());
}

constexpr const char* kFakeSystemctl = R"(#!/bin/sh
printf '%s\n' "$*" >> "$FAKE_SYSTEMCTL_LOG"
if [ "$1" = is-active ]; then
  state=$(cat "$FAKE_SYSTEMCTL_STATE" 2>/dev/null || echo inactive)
  echo "$state"
  [ "$state" = active ] && exit 0
  exit 3
fi
if [ -f "$FAKE_SYSTEMCTL_FAIL" ] && grep -qx "$1" "$FAKE_SYSTEMCTL_FAIL"; then
  echo "Failed to $1 $2: Access denied" >&2
  exit 1
fi
exit 0
)";

using Calls = std::vector<std::string>;

class SetrigService : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(m_dir.str("systemctl")) << kFakeSystemctl;
    fs::permissions(m_dir.str("systemctl"), fs::perms::owner_all);
    ::setenv("SETRIG_SYSTEMCTL", m_dir.str("systemctl").c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_LOG", m_dir.str("calls").c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_STATE", m_dir.str("state").c_str(), 1);
    ::setenv("FAKE_SYSTEMCTL_FAIL", m_dir.str("fail").c_str(), 1);
    std::ofstream(m_program) << "#!/bin/sh\n";
  }
  void TearDown() override {
    ::unsetenv("SETRIG_SYSTEMCTL");
    ::setenv("SETRIG_UNIT_DIR", setrig::test::UnitDir().c_str(), 1);
  }

  // The systemctl calls since the last look.
  Calls TakeCalls() const {
    Calls calls = netsnmp::Lines(netsnmp::ReadAll(m_dir.str("calls")));
    fs::remove(m_dir.str("calls"));
    return calls;
  }
  void SetState(const std::string& state) const { std::ofstream(m_dir.str("state")) << state << "\n"; }
  std::string UnitPath() const { return setrig::test::UnitDir() + "/" + m_unit; }
  int Create(const char* program, const char* description = "Tavelo test daemon") const {
    return Setrig_ServiceCreate(m_name.c_str(), program, "Tavelo Test", description);
  }

  static inline int s_counter = 0;
  TempDir m_dir;
  const std::string m_program = m_dir.str("my daemon%i");
  const std::string m_name = "tavelo-test" + std::to_string(++s_counter);
  const std::string m_unit = m_name + ".service";
};

TEST_F(SetrigService, LifeCycleCallsSystemctlInOrder) {
  ASSERT_EQ(Create(m_program.c_str()), 1);
  const std::string unit = netsnmp::ReadAll(UnitPath());
  EXPECT_NE(unit.find("\nDescription=Tavelo test daemon\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nExecStart=\"" + m_dir.str("my daemon%%i") + "\"\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nWantedBy=multi-user.target\n"), std::string::npos) << unit;
  EXPECT_EQ(TakeCalls(), (Calls{"daemon-reload", "enable " + m_unit}));

  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 1);
  EXPECT_EQ(Setrig_ServiceStop(m_name.c_str()), 1);
  EXPECT_EQ(TakeCalls(), (Calls{"start " + m_unit, "stop " + m_unit}));

  SetState("active");
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 1);
  EXPECT_EQ(TakeCalls(), (Calls{"is-active " + m_unit, "stop " + m_unit, "disable " + m_unit, "daemon-reload"}));
  EXPECT_FALSE(fs::exists(UnitPath()));
  LogCapture log;
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Bad handle to Service"));
}

TEST_F(SetrigService, BadInputWritesNoUnit) {
  const std::string odd = m_dir.str("odd\nname");  // exists, but would cut the ExecStart line
  std::ofstream(odd) << "#!/bin/sh\n";
  const std::string missing = m_dir.str("missing");
  LogCapture log;
  EXPECT_EQ(Create("daemon"), 0);
  EXPECT_TRUE(log.Has(L"The file daemon seems to not be an absolute pathname"));
  EXPECT_EQ(Create(missing.c_str()), 0);
  EXPECT_EQ(Create(odd.c_str()), 0);
  EXPECT_EQ(Setrig_ServiceCreate("../escape", m_program.c_str(), "d", "d"), 0);
  EXPECT_EQ(Create(m_program.c_str(), ""), 0);
  EXPECT_FALSE(fs::exists(UnitPath()));
  EXPECT_FALSE(fs::exists(setrig::test::UnitDir() + "/../escape.service"));
  EXPECT_TRUE(TakeCalls().empty());

  // Line breaks in a description cannot add directives.
  ASSERT_EQ(Create(m_program.c_str(), "text\nExecStartPre=/bin/evil"), 1);
  EXPECT_EQ(netsnmp::ReadAll(UnitPath()).find("\nExecStartPre="), std::string::npos);
  EXPECT_EQ(Create(m_program.c_str()), 0) << "the unit exists";
}

TEST_F(SetrigService, SystemctlFailuresAreReported) {
  std::ofstream(m_dir.str("fail")) << "enable\nstart\nstop\n";
  LogCapture log;
  EXPECT_EQ(Create(m_program.c_str()), 0);
  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Error while starting the service [Failed to start " + quillog::Utf8ToWide(m_unit) +
                      L": Access denied]"));
  SetState("active");
  EXPECT_EQ(Setrig_ServiceDelete(m_name.c_str()), 1) << "a failed stop does not prevent the deletion";
  EXPECT_FALSE(fs::exists(UnitPath()));

  ::setenv("SETRIG_SYSTEMCTL", m_dir.str("no-such-program").c_str(), 1);
  EXPECT_EQ(Create(m_program.c_str()), 0);
  EXPECT_TRUE(log.HasContaining(L"cannot run"));
  ::setenv("SETRIG_UNIT_DIR", m_dir.str("no-such-folder").c_str(), 1);
  EXPECT_EQ(Setrig_ServiceStart(m_name.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Bad handle to Service Control Manager"));
}

constexpr uint32_t kLoopback = 0x7F000001u;

// A TCP socket listening on 127.0.0.1 with the given backlog.
class Listener {
 public:
  explicit Listener(int backlog = 8) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(m_fd, backlog);
    socklen_t len = sizeof a;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
  }
  ~Listener() { ::close(m_fd); }
  uint16_t Port() const { return m_port; }

 private:
  int m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
  uint16_t m_port = 0;
};

TEST(SetrigSock, HostnameAndTcpPortChecks) {
  LogCapture log;
  EXPECT_EQ(Setrig_SockCheckHostname("localhost"), 1);
  EXPECT_EQ(Setrig_SockCheckHostname("no-such-host.invalid"), 0);
  EXPECT_TRUE(log.Has(L"Host no-such-host.invalid not resolved in CZubLowSocket::ResolvIp()"));
  EXPECT_EQ(Setrig_SockCheckHostname(nullptr), 0);

  Listener listener;
  const uint16_t closed = Listener().Port();  // bound a moment ago, then released
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", listener.Port()), 1);
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", closed), 0);
  EXPECT_EQ(Setrig_SockCheckTcpPort("127.0.0.1", 0), 0);
  EXPECT_EQ(Setrig_SockCheckTcpPort("no-such-host.invalid", listener.Port()), 0);
}

// A listener whose accept queue is full drops further connection requests,
// as a filtering host would: the check must give up on its own (5 s).
TEST(SetrigSock, TcpPortCheckGivesUpOnAHostThatDropsPackets) {
  Listener listener(0);
  std::vector<std::unique_ptr<CZubTcpSocket>> fillers;
  for (int i = 0; i < 4; ++i) {
    auto s = std::make_unique<CZubTcpSocket>();
    if (!s->SocketClientOpen(kLoopback, listener.Port(), 300)) break;
    fillers.push_back(std::move(s));
  }
  ASSERT_FALSE(fillers.empty());
  auto result = std::async(std::launch::async, [&] { return Setrig_SockCheckTcpPort("127.0.0.1", listener.Port()); });
  ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready)
      << "the port check did not give up within 20 s";
  EXPECT_EQ(result.get(), 0);
}

TEST(SetrigUrl, SchemeHostAndPortButNeverThePath) {
  struct Case {
    const char* url;
    uint16_t port;
    const char* scheme;
    const char* host;
    uint32_t host_size = 64;
  };
  for (const Case& c : {Case{"http://www.example.org/path/page.html?q=1", 80, "http", "www.example.org"},
                        Case{"https://user:pw@Example.org:8443/x", 8443, "https", "Example.org"},
                        Case{"ftp://abcdefgh.example/", 21, "ftp", "abcd", 5},  // cut to the buffer
                        Case{"http://h:65535/", 65535, "http", "h"}, Case{"http://h:65536/", 0, "", ""},
                        Case{"http://h:0/", 0, "", ""}, Case{"not a url", 0, "", ""}}) {
    char scheme[16] = "old";
    char host[64] = "old";
    EXPECT_EQ(Setrig_SockParseUrl(c.url, scheme, sizeof scheme, host, c.host_size), c.port) << c.url;
    EXPECT_STREQ(scheme, c.scheme) << c.url;
    EXPECT_STREQ(host, c.host) << c.url;
  }
  LogCapture log;
  char buffer[16];
  EXPECT_EQ(Setrig_SockParseUrl("http://h/", buffer, 0, buffer, sizeof buffer), 0);
  EXPECT_EQ(Setrig_SockParseUrl("http://h/", nullptr, 8, buffer, sizeof buffer), 0);
  EXPECT_EQ(log.Count(L"Invalid buffer"), 2u);
}

constexpr const char* kConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- installer settings -->
<config version="2" xmlns:t="urn:tavelo">
  <db kind="pg">
    <host>db.local</host>
    <port>5432</port>
    <empty/>
  </db>
  <t:extra t:mode="on">x</t:extra>
</config>
)";

class SetrigXml : public ::testing::Test {
 protected:
  void SetUp() override { Write(kConfig); }
  void Write(const std::string& text) const { std::ofstream(File(), std::ios::binary) << text; }
  std::string File() const { return m_dir.str("config.xml"); }
  std::string Text() const { return netsnmp::ReadAll(File()); }
  // The value read, or "<failed:...>" with what the buffer held then.
  static std::string Read(int ok, const char* buffer) {
    return ok == 1 ? buffer : "<failed:" + std::string(buffer) + ">";
  }
  std::string Tag(const char* path) const {
    char buffer[256] = "junk";
    return Read(Setrig_XmlGetTagValue(File().c_str(), path, buffer, sizeof buffer), buffer);
  }
  std::string Attribute(const char* path, const char* name) const {
    char buffer[256] = "junk";
    return Read(Setrig_XmlGetAttributeValue(File().c_str(), path, name, buffer, sizeof buffer), buffer);
  }
  size_t FilesInFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()));
  }

  TempDir m_dir;
};

TEST_F(SetrigXml, ReadsTagsAndAttributes) {
  EXPECT_EQ(Tag("/config/db/host"), "db.local");
  EXPECT_EQ(Tag("//port"), "5432");
  EXPECT_EQ(Tag("/config/db/empty"), "");
  EXPECT_EQ(Tag("/config/t:extra"), "x");
  EXPECT_NE(Tag("").find("db.local"), std::string::npos) << "the empty path is the document element";
  EXPECT_EQ(Attribute("", "version"), "2");
  EXPECT_EQ(Attribute("/config/db", "kind"), "pg");
  EXPECT_EQ(Attribute("/config/t:extra", "t:mode"), "on");
}

TEST_F(SetrigXml, ReadFailuresLeaveAnEmptyBuffer) {
  LogCapture log;
  EXPECT_EQ(Tag("/config/nothing"), "<failed:>");
  EXPECT_TRUE(log.Has(L"Unable to load tag /config/nothing"));
  EXPECT_EQ(Tag("/config/@version"), "<failed:>");
  EXPECT_TRUE(log.Has(L"The node /config/@version is not a NODE_ELEMENT type"));
  EXPECT_EQ(Tag("count(//port)"), "<failed:>");
  EXPECT_EQ(Attribute("/config/db", "missing"), "<failed:>");
  EXPECT_TRUE(log.Has(L"Unable to get the attribute missing of the tag /config/db"));
  fs::remove(File());
  EXPECT_EQ(Tag(""), "<failed:>");
  EXPECT_TRUE(log.HasContaining(L"config.xml does not exist"));
}

TEST_F(SetrigXml, WritesKeepTheRestOfTheFile) {
  ASSERT_EQ(Setrig_XmlSetTagValue(File().c_str(), "/config/db/host", "a<b & \"c\" \xE2\x82\xAC"), 1);
  EXPECT_EQ(Tag("/config/db/host"), "a<b & \"c\" \xE2\x82\xAC");
  ASSERT_EQ(Setrig_XmlSetAttributeValue(File().c_str(), "/config/db", "kind", "a&amp;b 'q'"), 1);
  EXPECT_EQ(Attribute("/config/db", "kind"), "a&amp;b 'q'");
  ASSERT_EQ(Setrig_XmlSetAttributeValue(File().c_str(), "/config/db", "added", "new"), 1);
  EXPECT_EQ(Attribute("/config/db", "added"), "new");
  ASSERT_EQ(Setrig_XmlSetAttributeValue(File().c_str(), "/config/t:extra", "t:mode", "off"), 1);
  EXPECT_EQ(Attribute("/config/t:extra", "t:mode"), "off");

  const std::string text = Text();
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- installer settings -->\n", 0), 0u) << text;
  EXPECT_NE(text.find("    <port>5432</port>\n"), std::string::npos) << text;
  EXPECT_EQ(FilesInFolder(), 1u) << "no temporary file left behind";

  // "]]>" in a CDATA section is split so that the file still parses.
  Write("<a><![CDATA[old]]></a>");
  EXPECT_EQ(Setrig_XmlSetTagValue(File().c_str(), "", "x]]>y"), 1);
  EXPECT_EQ(Tag(""), "x]]>y");
}

TEST_F(SetrigXml, FileKeepsItsEncodingModeAndLink) {
  Write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>caf\xE9</a>\n");
  ::chmod(File().c_str(), 0640);
  const std::string link = m_dir.str("link.xml");
  fs::create_symlink(File(), link);
  EXPECT_EQ(Tag(""), "caf\xC3\xA9");
  ASSERT_EQ(Setrig_XmlSetTagValue(link.c_str(), "", "th\xC3\xA9"), 1);
  EXPECT_NE(Text().find("<a>th\xE9</a>"), std::string::npos) << Text();
  EXPECT_TRUE(fs::is_symlink(link));
  struct stat info {};
  ASSERT_EQ(::stat(File().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(SetrigXml, NeverWritesAFileThatDoesNotParse) {
  LogCapture log;
  const std::string broken = "<config><db>unclosed</config>";
  Write(broken);
  EXPECT_EQ(Setrig_XmlSetTagValue(File().c_str(), "", "x"), 0);
  EXPECT_TRUE(log.HasContaining(L"Unable to load the XML file "));
  EXPECT_EQ(Text(), broken);

  Write(kConfig);
  EXPECT_EQ(Setrig_XmlSetTagValue(File().c_str(), "/config/db/host", "bell\x07"), 0);
  EXPECT_TRUE(log.HasContaining(L"Unable to set the value of xml tag /config/db/host to bell"));
  EXPECT_EQ(Setrig_XmlSetAttributeValue(File().c_str(), "/config/db", "nope:attr", "v"), 0);
  EXPECT_EQ(log.Count(L"Unable to add the new attribute"), 1u);
  EXPECT_EQ(Text(), kConfig);
  EXPECT_EQ(FilesInFolder(), 1u);
}

}  // namespace
