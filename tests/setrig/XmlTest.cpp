// Reading and writing values in XML files through the exports.
#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

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
  EXPECT_EQ(Tag("///[oops"), "<failed:>");
  EXPECT_EQ(Tag("count(//port)"), "<failed:>");
  EXPECT_EQ(Attribute("/config/db", "missing"), "<failed:>");
  EXPECT_TRUE(log.Has(L"Unable to get the attribute missing of the tag /config/db"));
  EXPECT_EQ(Attribute("/config/db", ""), "<failed:>");
  EXPECT_EQ(Tag(nullptr), "<failed:>");
  fs::remove(File());
  EXPECT_EQ(Tag(""), "<failed:>");
  EXPECT_TRUE(log.HasContaining(L"config.xml does not exist"));
}

TEST_F(SetrigXml, WritesKeepTheRestOfTheFile) {
  ASSERT_EQ(Setrig_XmlSetTagValue(File().c_str(), "/config/db/host", "a<b & \"c\" \xE2\x82\xAC"), 1);
  EXPECT_EQ(Tag("/config/db/host"), "a<b & \"c\" \xE2\x82\xAC");
  ASSERT_EQ(Setrig_XmlSetTagValue(File().c_str(), "/config/db/empty", "filled"), 1);
  EXPECT_EQ(Tag("/config/db/empty"), "filled");
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
  // A file without a declaration gets none.
  Write("<a><b/></a>");
  ASSERT_EQ(Setrig_XmlSetAttributeValue(File().c_str(), "/a/b", "c", "d"), 1);
  EXPECT_EQ(Text(), "<a><b c=\"d\"/></a>\n");
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
  EXPECT_EQ(Setrig_XmlSetAttributeValue(File().c_str(), "/config/db", "1bad", "v"), 0);
  EXPECT_EQ(Setrig_XmlSetAttributeValue(File().c_str(), "/config/db", "nope:attr", "v"), 0);
  EXPECT_EQ(log.Count(L"Unable to add the new attribute"), 2u);
  EXPECT_EQ(Text(), kConfig);
  EXPECT_EQ(FilesInFolder(), 1u);
}

}  // namespace
