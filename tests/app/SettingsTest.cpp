#include "app/Settings.h"

#include "app/Folders.h"
#include "app/RegFile.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

const std::string kKeyPrefix = "[HKEY_CURRENT_USER\\Software\\Tavelo\\Tavelo\\";

std::string SettingsPath(const TempHome& env) { return env.str("config/tavelo/settings.reg"); }

// A settings file with one key of ours: `body` starts with the key's last part.
void WriteSettings(const TempHome& env, const std::string& body) {
  WriteFileBytes(SettingsPath(env), "REGEDIT4\n\n" + kKeyPrefix + body);
}

std::string Utf16Hex(const std::wstring& text) {
  std::string out;
  for (uint8_t b : CRegFile::WideToUtf16Le(text, true)) {
    char buf[4];
    snprintf(buf, sizeof buf, "%s%02x", out.empty() ? "" : ",", b);
    out += buf;
  }
  return out;
}

CRegFile ParseFile(const std::string& path) {
  CRegFile file;
  std::string why;
  EXPECT_TRUE(file.Parse(ReadFileBytes(path), &why)) << why;
  return file;
}

TEST(Settings, FirstStartReadsEveryDefaultAndWritesNoValue) {
  TempHome env;
  LogCapture log;
  for (const SettingRow* row = SettingsTable(); row->kind != SETTING_KIND_END; ++row) {
    if (row->kind == SETTING_KIND_REGISTRY && row->type == SETTING_TYPE_DWORD) {
      uint32_t value = 12345;
      EXPECT_FALSE(ReadSettingDword(row->number, -1, &value)) << row->number;
      EXPECT_EQ(value, std::wcstoul(row->default_value, nullptr, 10)) << row->number;
    } else if (row->kind == SETTING_KIND_REGISTRY && row->type == SETTING_TYPE_STRING) {
      EXPECT_EQ(ReadSettingString(row->number), row->default_value) << row->number;
    } else if (row->kind == SETTING_KIND_CONSTANT) {
      uint32_t value = 0;
      EXPECT_TRUE(ReadSettingDword(row->number, -1, &value));
      EXPECT_EQ(ReadSettingString(row->number), row->default_value);
    }
  }
  WindowPlacement placement;
  EXPECT_FALSE(ReadWindowPlacement(&placement));

  // Reading created the empty keys, and nothing else.
  CRegFile file = ParseFile(SettingsPath(env));
  EXPECT_EQ(file.Keys().size(), 12u);  // one per section
  for (const RegKey& key : file.Keys()) EXPECT_TRUE(key.values.empty());
  EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 0u);
}

TEST(Settings, StringWhereDwordExpectedIsRefused) {
  TempHome env;
  WriteSettings(env, "DlgSnmpParameter]\n\"LastPort\"=\"1234\"\n\"LastIp\"=dword:00000005\n");
  LogCapture log;
  uint32_t value = 0;
  EXPECT_FALSE(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT, -1, &value));
  EXPECT_EQ(value, 161u);
  EXPECT_EQ(ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_IP), L"127.0.0.1");
  EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 2u);

  // A write replaces the wrong type.
  EXPECT_TRUE(WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT, -1, 1161));
  EXPECT_TRUE(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT, -1, &value));
  EXPECT_EQ(value, 1161u);
}

TEST(Settings, IndexedColumnWidthsUseTheirOwnValueNames) {
  TempHome env;
  ASSERT_TRUE(WriteSettingDword(SETTING_VIEW_WALKER_COL_WIDTH, 3, 120));
  std::string text = ReadFileBytes(SettingsPath(env));
  EXPECT_NE(text.find(kKeyPrefix + "ViewWalker]\n\"ColWidth_3\"=dword:00000078\n"), std::string::npos) << text;
  uint32_t value = 0;
  EXPECT_TRUE(ReadSettingDword(SETTING_VIEW_WALKER_COL_WIDTH, 3, &value));
  EXPECT_EQ(value, 120u);
  // Same column of another list is another value.
  EXPECT_FALSE(ReadSettingDword(SETTING_VIEW_TRAPPER_COL_WIDTH, 3, &value));
  EXPECT_EQ(value, 50u);
}

TEST(Settings, ExpandAndMultiStringsAreRead) {
  TempHome env;
  setenv("TAVELO_TEST_EDITOR", "/opt/édit", 1);
  unsetenv("TAVELO_TEST_UNSET");
  WriteSettings(env, "ViewMibBrowser]\n\"TextEditor\"=hex(2):" +
                         Utf16Hex(L"%TAVELO_TEST_EDITOR%/bin/ed %TAVELO_TEST_UNSET% 100%") +
                         "\n\"LastFile\"=hex(7):" + Utf16Hex(L"IF-MIB") + "," + Utf16Hex(L"SNMPv2-MIB") + ",00,00\n");
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_MIB_BROWSER_TEXT_EDITOR), L"/opt/édit/bin/ed %TAVELO_TEST_UNSET% 100%");
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_MIB_BROWSER_LAST_FILE), L"IF-MIB\r\nSNMPv2-MIB");

  // The expansion fits 4,096 characters with its terminating zero; a longer one falls back to the default.
  const size_t rest = std::wstring(L"/bin/ed %TAVELO_TEST_UNSET% 100%").size();
  setenv("TAVELO_TEST_EDITOR", std::string(4095 - rest, 'x').c_str(), 1);
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_MIB_BROWSER_TEXT_EDITOR).size(), 4095u);
  setenv("TAVELO_TEST_EDITOR", std::string(4096 - rest, 'x').c_str(), 1);
  LogCapture log;
  EXPECT_EQ(ReadSettingString(SETTING_VIEW_MIB_BROWSER_TEXT_EDITOR), L"xdg-open");
  EXPECT_EQ(log.CountContaining(L"Unable to expand the string '%TAVELO_TEST_EDITOR%", QUILLOG_ERROR), 1u);
}

TEST(Settings, TextsRoundTripWithEscapesAndWideCharacters) {
  TempHome env;
  const std::wstring tricky = L"C:\\path \"quoted\"\nsecond line\t\u00e9\U0001F600";
  ASSERT_TRUE(WriteSettingString(SETTING_DLG_SNMP_SET_LAST_VALUE, tricky));
  EXPECT_EQ(ReadSettingString(SETTING_DLG_SNMP_SET_LAST_VALUE), tricky);
  // One value line per value: the file stays line-based.
  std::string text = ReadFileBytes(SettingsPath(env));
  EXPECT_NE(text.find("\"LastValue\"=\"C:\\\\path \\\"quoted\\\"\\nsecond line\t"), std::string::npos) << text;
}

TEST(Settings, WindowPlacementIsA44ByteBinary) {
  TempHome env;
  const WindowPlacement in{
      .flags = 2, .show_cmd = 3, .min_x = -1, .max_y = -32000, .left = 10, .top = 20, .right = 1290, .bottom = 1044};
  ASSERT_TRUE(WriteWindowPlacement(in));
  WindowPlacement out;
  ASSERT_TRUE(ReadWindowPlacement(&out));
  EXPECT_EQ(std::memcmp(&in, &out, sizeof in), 0);
  std::string text = ReadFileBytes(SettingsPath(env));
  EXPECT_NE(text.find("\"WindowPlacement\"=hex:2c,00,00,00,02,00,00,00,03,00,00,00,ff,ff,ff,ff"), std::string::npos);

  // Another type or size is refused.
  std::string bytes = "2c";
  for (int i = 1; i < 44; ++i) bytes += ",00";
  for (const std::string& stored : {"hex(0):" + bytes, std::string("hex:2c,00"), "hex:" + bytes + ",00"}) {
    WriteSettings(env, "MainFrame]\n\"WindowPlacement\"=" + stored + "\n");
    EXPECT_FALSE(ReadWindowPlacement(&out)) << stored;
  }
}

TEST(Settings, CorruptOrUnreadableFileIsKeptAsideWithOneErrorLine) {
  const std::string garbage[] = {
      "not a registry file at all\n",
      "REGEDIT4\n\"Orphan\"=dword:1\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Tavelo\\Tavelo\\MainFrame]\n\"StatusBar\"=dword:xyz\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Tavelo\\Tavelo\\MainFrame]\n\"StatusBar\"=dword:100000000\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Tavelo\\Tavelo\\MainFrame]\n\"StatusBar\"=hex:100\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Tavelo\\Tavelo\\MainFrame]\n\"StatusBar=\"unterminated\n",
      std::string("REGEDIT4\n\0\0\0", 12),
      "",
  };
  for (const std::string& content : garbage) {
    TempHome env;
    WriteFileBytes(SettingsPath(env), content);
    LogCapture log;
    EXPECT_EQ(ReadSettingDword(SETTING_MAINFRAME_STATUS_BAR), 1u);
    EXPECT_EQ(ReadSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_IP), L"127.0.0.1");
    EXPECT_EQ(log.CountContaining(L"settings.reg.bad", QUILLOG_ERROR), 1u) << content;
    EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 1u);
    // The store goes on working with a fresh file; the bad one is kept as it was.
    EXPECT_TRUE(WriteSettingDword(SETTING_MAINFRAME_STATUS_BAR, -1, 0));
    EXPECT_EQ(ReadSettingDword(SETTING_MAINFRAME_STATUS_BAR), 0u);
    EXPECT_EQ(ReadFileBytes(SettingsPath(env) + ".bad"), content);
  }
  // A file that cannot be read (a folder in its place) is set aside too.
  TempHome env;
  std::filesystem::create_directories(SettingsPath(env));
  LogCapture log;
  EXPECT_EQ(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY), 3u);
  EXPECT_EQ(log.CountLevel(QUILLOG_ERROR), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(SettingsPath(env) + ".bad"));
  EXPECT_TRUE(WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY, -1, 5));
  EXPECT_EQ(ReadSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY), 5u);
}

TEST(Settings, ForeignKeysAndValueTypesSurviveWrites) {
  TempHome env;
  std::string original =
      "REGEDIT4\n\n; a comment ending in a backslash "
      "\\\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Q\"=hex(b):01,02,03,04,05,06,07,08\n@=\"def\"\n\n" +
      kKeyPrefix + "mainframe]\n\"statusbar\"=dword:00000000\n\"Blob\"=hex:01,02,\\\n  03,04\n";
  WriteFileBytes(SettingsPath(env), original);
  EXPECT_EQ(ReadSettingDword(SETTING_MAINFRAME_STATUS_BAR), 0u);  // names match without regard to case
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_STATUS_BAR, -1, 1));
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_TOOL_BAR, -1, 0));
  CRegFile file = ParseFile(SettingsPath(env));
  const RegKey* other = file.FindKey(L"HKEY_CURRENT_USER\\Software\\Other");
  ASSERT_TRUE(other != nullptr && CRegFile::FindValue(other, L"Q") != nullptr);
  EXPECT_EQ(CRegFile::FindValue(other, L"Q")->type, 0xbu);
  EXPECT_NE(CRegFile::FindValue(other, L""), nullptr);
  const RegKey* main = file.FindKey(L"HKEY_CURRENT_USER\\Software\\Tavelo\\Tavelo\\MainFrame");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->path, L"HKEY_CURRENT_USER\\Software\\Tavelo\\Tavelo\\mainframe");
  ASSERT_EQ(main->values.size(), 3u);
  EXPECT_EQ(main->values[0].dword, 1u);
  EXPECT_EQ(main->values[1].bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
}

// Any registry survives a write and a read, whatever its texts hold, in lines
// of at most 80 characters; and no damaged file makes the parser do anything
// but refuse it.
TEST(RegFile, RandomRegistriesRoundTripAndDamagedOnesAreRefusedCleanly) {
  std::mt19937 rng(20261207);
  const uint32_t kTypes[] = {REG_TYPE_SZ, REG_TYPE_DWORD, REG_TYPE_BINARY, REG_TYPE_EXPAND_SZ};
  const std::wstring alphabet = L"aZ09 _-\\\"\n\r\t;#[]=@:,%\u00e9\u4e2d\U0001F600";
  auto text = [&](size_t max) {
    std::wstring t;
    for (size_t n = rng() % (max + 1); n > 0; --n) t.push_back(alphabet[rng() % alphabet.size()]);
    return t;
  };
  for (int round = 0; round < 200; ++round) {
    CRegFile file;
    for (int k = rng() % 4; k >= 0; --k) {
      std::wstring path = L"HKEY_CURRENT_USER\\Software\\K" + std::to_wstring(k) + text(5);
      for (wchar_t& c : path) c = (c == L'\n' || c == L'\r' || c == L']') ? L'x' : c;
      RegKey* key = file.CreateKey(path);
      for (int v = rng() % 5; v > 0; --v) {
        RegValue value;
        value.name = L"v" + std::to_wstring(v) + text(6);
        value.type = kTypes[rng() % 4];
        if (value.type == REG_TYPE_SZ) value.text = text(40);
        if (value.type == REG_TYPE_DWORD) value.dword = static_cast<uint32_t>(rng());
        for (int b = value.type == REG_TYPE_BINARY ? rng() % 300 : 0; b > 0; --b) value.bytes.push_back(rng());
        if (value.type == REG_TYPE_EXPAND_SZ) value.bytes = CRegFile::WideToUtf16Le(text(30), true);
        CRegFile::SetValue(key, value);
      }
    }
    const std::string serialized = file.Serialize();
    std::istringstream lines(serialized);
    for (std::string line; std::getline(lines, line);) ASSERT_LE(line.size(), 80u) << line;
    CRegFile back;
    std::string why;
    ASSERT_TRUE(back.Parse(serialized, &why)) << why << "\n" << serialized;
    ASSERT_EQ(back.Serialize(), serialized);
    ASSERT_EQ(back.Keys().size(), file.Keys().size());
    for (size_t k = 0; k < file.Keys().size(); ++k) {
      ASSERT_EQ(back.Keys()[k].path, file.Keys()[k].path);
      ASSERT_EQ(back.Keys()[k].values.size(), file.Keys()[k].values.size());
      for (size_t v = 0; v < file.Keys()[k].values.size(); ++v) {
        const RegValue& a = file.Keys()[k].values[v];
        const RegValue& b = back.Keys()[k].values[v];
        EXPECT_EQ(std::tie(a.name, a.type, a.text, a.dword, a.bytes),
                  std::tie(b.name, b.type, b.text, b.dword, b.bytes));
      }
    }
    // Damage: cut it, or flip a few bytes. Parse may succeed or refuse.
    std::string damaged = serialized.substr(0, rng() % (serialized.size() + 1));
    for (int f = rng() % 4; f > 0 && !damaged.empty(); --f) damaged[rng() % damaged.size()] = static_cast<char>(rng());
    CRegFile junk;
    const bool parsed = junk.Parse(damaged, &why);
    EXPECT_TRUE(parsed || junk.Keys().empty());
  }
}

// Two writers (a child process and threads here) never tear the file and
// never lose each other's values.
TEST(Settings, ConcurrentWritersNeverTearTheFile) {
  TempHome env;
  constexpr int kRounds = 150;
  ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_LAST_VIEW, -1, 0));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool ok = true;
    for (int i = 1; i <= kRounds; ++i) ok = WriteSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, i % 7, i) && ok;
    _exit(ok ? 0 : 1);
  }
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      CRegFile file;
      std::string why;
      std::string text = ReadFileBytes(SettingsPath(env));
      if (!file.Parse(text, &why)) ++torn;
    }
  });
  std::thread writer2([&] {
    for (int i = 1; i <= kRounds; ++i) WriteSettingString(SETTING_DLG_SNMP_SET_LAST_VALUE, std::to_wstring(i));
  });
  for (int i = 1; i <= kRounds; ++i) ASSERT_TRUE(WriteSettingDword(SETTING_MAINFRAME_LAST_VIEW, -1, i));
  writer2.join();
  int status = 0;
  waitpid(child, &status, 0);
  done = true;
  reader.join();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && torn.load() == 0) << torn.load() << " torn reads";
  EXPECT_EQ(ReadSettingDword(SETTING_MAINFRAME_LAST_VIEW), static_cast<uint32_t>(kRounds));
  EXPECT_EQ(ReadSettingString(SETTING_DLG_SNMP_SET_LAST_VALUE), std::to_wstring(kRounds));
  EXPECT_EQ(ReadSettingDword(SETTING_VIEW_LOGS_COL_WIDTH, kRounds % 7), static_cast<uint32_t>(kRounds));
  EXPECT_FALSE(std::filesystem::exists(SettingsPath(env) + ".bad"));
  // No temporary files are left behind: settings.reg and its lock file only.
  const std::filesystem::directory_iterator folder(env.str("config/tavelo"));
  EXPECT_EQ(std::distance(begin(folder), end(folder)), 2);
}

TEST(Settings, WriteFailureIsReportedNotHidden) {
  TempHome env;
  WriteFileBytes(env.str("config/tavelo"), "a file where the folder should be");
  LogCapture log;
  EXPECT_FALSE(WriteSettingDword(SETTING_MAINFRAME_LAST_VIEW, -1, 2));
  EXPECT_EQ(log.CountContaining(L"Error while setting the registry key LastView", QUILLOG_ERROR), 1u);
  EXPECT_EQ(ReadSettingDword(SETTING_MAINFRAME_LAST_VIEW), 0u);
  EXPECT_EQ(ReadFileBytes(env.str("config/tavelo")), "a file where the folder should be");
}

TEST(Folders, DerivedFromTheEnvironment) {
  TempHome env;
  EXPECT_EQ(UserDataPath(), quillog::Utf8ToWide(env.str("data")));
  EXPECT_EQ(ProgramDataPath(), quillog::Utf8ToWide(env.str("share")));
  setenv("XDG_DATA_DIRS", ":relative:/srv/share/:/usr/share", 1);
  EXPECT_EQ(ProgramDataPath(), L"/srv/share");
  unsetenv("XDG_DATA_DIRS");
  EXPECT_EQ(ProgramDataPath(), L"/usr/local/share");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(UserDataPath(), quillog::Utf8ToWide(env.str("home/.local/share")));

  std::wstring exe = ExecutablePath();
  EXPECT_EQ(exe, quillog::Utf8ToWide(std::filesystem::canonical("/proc/self/exe").string()));
  EXPECT_EQ(InstallPath() + L"/" + std::filesystem::path(exe).filename().wstring(), exe);

  const std::wstring log_folder = LogFolderPath();
  EXPECT_EQ(log_folder, quillog::Utf8ToWide(env.str("state/tavelo/log")));
  EXPECT_TRUE(std::filesystem::is_directory(quillog::WideToUtf8(log_folder)));
}

// Installed programs find their own data in share/tavelo, others beside them.
TEST(FoldersTest, OwnDataBesideTheProgramOrInShareWhenInBin) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"/opt/t/bin/", L"/opt/t/share/tavelo"},
      {L"/bin", L"/share/tavelo"},
      {L"/home/u/cabin", L"/home/u/cabin"},
      {L"/home/bin/gui", L"/home/bin/gui"},
  };
  for (const auto& [install, expected] : cases) EXPECT_EQ(OwnDataPathOf(install), expected) << install;
}

}  // namespace
