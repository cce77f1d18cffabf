#include "config/GlobalPreferences.h"

#include <gmock/gmock.h>

#include <set>

#include "ConfigSandbox.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The value under path ("key", "block/key") of the section under key; the section must be present.
FieldValue& value(const GlobalPreferences& prefs, std::string_view key, std::string_view path) {
  SettingsSection* section = prefs.section(key);
  EXPECT_NE(section, nullptr) << key;
  FieldValue* field = section ? section->find(path) : nullptr;
  EXPECT_NE(field, nullptr) << key << " " << path;
  static FieldValue none;
  return field ? *field : none;
}

// Each case of the table: the section, the path of a value in it, which part
// of the value is meant (text, integer or flag) and what that part holds.
void expectValues(const GlobalPreferences& prefs, const std::string& table) {
  for (const auto& c : fixtureCases(table, 4)) {
    const FieldValue& held = value(prefs, c[0], c[1]);
    EXPECT_EQ(c[2] == "integer" ? std::to_string(held.integer)
              : c[2] == "flag"  ? (held.flag ? "true" : "false")
                                : held.text.value_or("(null)"),
              c[3])
        << c[0] << " " << c[1];
  }
}

// The settings file written, then loaded into prefs; what loading logged.
class SettingsStore : public ConfigSandbox {
 protected:
  std::string load(const std::string& text) {
    writeSettings(text);
    return stdoutOf([&] { GlobalPreferences::setStaticInstance(prefs); });
  }
  GlobalPreferences prefs;
};

TEST_F(SettingsStore, MachineNameWriteBackLeavesEverythingElseAsReadOrFailsLoudly) {
  const std::string asRead = readFile(kConfigFixtures + "settings_written.plist");
  load(asRead);
  ASSERT_EQ(prefs.machineInfo().machineName(), "Design-iMac-04");
  EXPECT_EQ(prefs.machineInfo().dcRegId(), 880214);
  EXPECT_EQ(prefs.controllerInfo().memberId(), 42);
  expectValues(prefs, "config/settings_written.values.cases");

  prefs.machineInfo().setMachineName("Design-iMac-07");
  bool saved = false;
  const std::string log = stdoutOf([&] { saved = GlobalPreferences::saveGlobalPreferences(prefs); });
  ASSERT_TRUE(saved);
  EXPECT_EQ(occurrences(log, std::regex("-\\[MachineInfoSettings dictionary\\]:In DICT\n")), 1) << log;

  // Every other section, "macfolders", the set-up check section (which lacks keys a
  // rebuild would add) and the unknown root entries come back exactly as read; the
  // machine record has no "logonname" or "HDpasswdupdatedon", not even empty ones.
  // So do values of another type (digit strings, flag words, a date, a real) and foreign cipher texts.
  const std::string written = readSettings();
  EXPECT_EQ(written, replaced(asRead, "<string>Design-iMac-04</string>", "<string>Design-iMac-07</string>"));

  // A second write-back of the same store writes the same file again.
  ASSERT_TRUE(GlobalPreferences::saveGlobalPreferences(prefs));
  EXPECT_EQ(readSettings(), written);

  // A write-back finds the file gone: logged, nothing written, the values kept in memory.
  std::filesystem::remove_all(std::filesystem::path(settingsPath()).parent_path());
  prefs.machineInfo().setMachineName("Design-iMac-08");
  EXPECT_THAT(stdoutOf([&] { EXPECT_FALSE(GlobalPreferences::saveGlobalPreferences(prefs)); }),
              HasSubstr("+[GlobalPreferences saveGlobalPreferences:]:cannot read settings file " + settingsPath()));
  EXPECT_FALSE(std::filesystem::exists(settingsPath()));
  EXPECT_EQ(prefs.machineInfo().machineName(), "Design-iMac-08");
  EXPECT_EQ(prefs.machineInfo().dcRegId(), 880214);
}

// The configuration folder swapped for a link (to a copy anybody may change)
// after the settings were read: the write-back refuses the folder and writes
// nothing there; the folder that was replaced is left as it was.
TEST_F(SettingsStore, AWriteBackThroughALinkInPlaceOfTheFolderWritesNothing) {
  namespace fs = std::filesystem;
  const std::string asRead = readFile(kConfigFixtures + "settings_written.plist");
  load(asRead);
  const fs::path folder = fs::path(settingsPath()).parent_path();
  const std::string outside = folder.string() + ".outside";
  fs::rename(folder, folder.string() + ".checked");
  fs::copy(folder.string() + ".checked", outside);
  fs::create_directory_symlink(outside, folder);
  const auto listing = [&outside] {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(outside)) names.insert(entry.path().filename());
    return names;
  };
  const std::set<std::string> before = listing();

  prefs.machineInfo().setMachineName("Design-iMac-07");
  EXPECT_THAT(stdoutOf([&] { EXPECT_FALSE(GlobalPreferences::saveGlobalPreferences(prefs)); }),
              HasSubstr(folder.string() + " is a symbolic link"));
  EXPECT_EQ(readFile(outside + "/" + fs::path(settingsPath()).filename().string()), asRead);
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(readFile(folder.string() + ".checked/" + fs::path(settingsPath()).filename().string()), asRead);
}

TEST_F(SettingsStore, EverySectionDecryptsAtLoadAndWritesBackItsStoredForms) {
  const std::string asRead = withEncryptedValues(readFile(kConfigFixtures + "settings_all_sections.plist.in"));
  load(asRead);
  // One read of every kind of key: the sections share the reading, each with
  // its own table of keys.
  expectValues(prefs, "config/settings_all_sections.values.cases");
  const std::string dcPrimary = "https://dcregurl.example.net/dcregurl/primarysite";
  EXPECT_EQ(value(prefs, "dcregurl", "primarysite").stored, encrypted(dcPrimary));
  EXPECT_EQ(prefs.proxySettings().proxyUserName(), "corp\\svc-brim");
  EXPECT_EQ(prefs.proxySettings().proxyPassword(), "Pr0xy&Pa55 é");
  EXPECT_EQ(prefs.proxySettings().proxyPort(), 3128);
  ASSERT_TRUE(GlobalPreferences::saveGlobalPreferences(prefs));

  // Nothing changed, nothing written differently: cipher texts, plain "passwd" and
  // "datadrsite", digit strings, "job" whole, the keys sections read but do not write, the
  // interval missing from "keepalive" and unknown root entries stay as they were.
  EXPECT_EQ(readSettings(), asRead);

  GlobalPreferences reloaded;
  GlobalPreferences::setStaticInstance(reloaded);
  EXPECT_EQ(reloaded.proxySettings().proxyUserName(), "corp\\svc-brim");
  EXPECT_EQ(reloaded.proxySettings().proxyPassword(), "Pr0xy&Pa55 é");
  EXPECT_EQ(value(reloaded, "dcregurl", "primarysite").stored, value(prefs, "dcregurl", "primarysite").stored);
}

TEST_F(SettingsStore, ProxyCredentialsAreEncryptedFromWhatIsHeldNow) {
  load(plistDocument(
      "<key>proxysettings</key><dict><key>proxyip</key><string>10.20.0.8</string><key>proxyusername</key>"
      "<string>" +
      encrypted("svc") + "</string><key>proxypassword</key><string>" + encrypted("old") + "</string></dict>"));
  value(prefs, "proxysettings", "proxypassword").text = "n3w-secret";
  value(prefs, "proxysettings", "proxyusername").text.reset();
  ASSERT_TRUE(GlobalPreferences::saveGlobalPreferences(prefs));

  const Plist written = readPlistFile(settingsPath());
  plist_t proxy = plistDictItem(written.get(), "proxysettings");
  EXPECT_EQ(plistString(plistDictItem(proxy, "proxypassword")), encrypted("n3w-secret"));
  EXPECT_EQ(plistDictItem(proxy, "proxyusername"), nullptr);  // a null user name leaves its key out
  EXPECT_EQ(plistDictItem(proxy, "proxyport"), nullptr);      // a key the file lacked and nobody set stays out
}

TEST_F(SettingsStore, SharedInstanceShowsNewValuesOnlyAfterAReloadIntoTheSameObjects) {
  const std::string keepAlive = "<key>keepalive</key><dict><key>interval</key><integer>5</integer></dict>";
  writeSettings(
      plistDocument("<key>machineinfo</key><dict><key>machinename</key><string>lab-1</string>"
                    "<key>dcregid</key><integer>0</integer></dict>"
                    "<key>proxysettings</key><dict><key>proxyip</key><string>10.0.0.1</string></dict>" +
                    keepAlive));
  GlobalPreferences& shared = GlobalPreferences::getSharedInstance();
  GlobalPreferences::setStaticInstance(shared);  // an earlier test of this process may have created it
  const SettingsSection* machine = shared.section("machineinfo");
  const SettingsSection* proxy = shared.section("proxysettings");
  const SettingsSection* keepAliveSection = shared.section("keepalive");
  ASSERT_NE(keepAliveSection, nullptr);

  writeSettings(
      plistDocument("<key>machineinfo</key><dict><key>dcregid</key><integer>880214</integer></dict>"
                    "<key>proxysettings</key><dict><key>proxyip</key><string>10.0.0.2</string></dict>"));
  EXPECT_EQ(&GlobalPreferences::getSharedInstance(), &shared);
  EXPECT_EQ(shared.machineInfo().dcRegId(), 0);
  EXPECT_EQ(shared.proxySettings().proxyIP(), "10.0.0.1");

  GlobalPreferences::setStaticInstance(shared);
  EXPECT_EQ(shared.section("machineinfo"), machine);
  EXPECT_EQ(shared.machineInfo().dcRegId(), 880214);
  EXPECT_FALSE(shared.machineInfo().machineName().has_value());  // gone from the file, gone from the store
  EXPECT_EQ(shared.section("proxysettings"), proxy);
  EXPECT_EQ(shared.proxySettings().proxyIP(), "10.0.0.2");
  EXPECT_EQ(shared.section("keepalive"), nullptr);

  writeSettings(plistDocument(keepAlive));
  GlobalPreferences::setStaticInstance(shared);
  EXPECT_EQ(shared.section("keepalive"), keepAliveSection);
  EXPECT_EQ(value(shared, "keepalive", "interval").integer, 5);
}

TEST_F(SettingsStore, MissingOrForeignFileReadsAsEmptyAndIsNeverWritten) {
  EXPECT_THAT(stdoutOf([&] { GlobalPreferences::setStaticInstance(prefs); }),
              HasSubstr("cannot read settings file " + settingsPath()));
  EXPECT_EQ(prefs.allSettingsDict(), nullptr);
  EXPECT_EQ(prefs.machineInfo().dcRegId(), 0);
  EXPECT_FALSE(prefs.machineInfo().machineName().has_value());
  EXPECT_EQ(prefs.section("lmiinfo"), nullptr);
  EXPECT_EQ(prefs.section("datapostsettings"), nullptr);
  EXPECT_NE(prefs.section("uptime"), nullptr);
  prefs.machineInfo().setMachineName("lab-2");
  EXPECT_FALSE(GlobalPreferences::saveGlobalPreferences(prefs));
  EXPECT_FALSE(std::filesystem::exists(settingsPath()));

  // Not a dictionary: unreadable, and never rewritten. (A file the reader refuses,
  // nested too deep, reads as none: the property-list limits' test.)
  const std::string foreign =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array/>\n</plist>\n";
  load(foreign);
  EXPECT_EQ(prefs.allSettingsDict(), nullptr);
  EXPECT_FALSE(prefs.machineInfo().machineName().has_value());
  EXPECT_FALSE(GlobalPreferences::saveGlobalPreferences(prefs));
  EXPECT_EQ(readSettings(), foreign);
}

// A registration id reads as a number in the 64-bit range, or as 0 (unregistered) with a log line.
TEST_F(SettingsStore, RegistrationIdOfAnyStoredFormReadsAsANumberInRange) {
  for (const auto& c : fixtureCases("config/registration-ids.cases", 3)) {
    const std::string &stored = c[0], &logged = c[2];
    const int64_t id = std::stoll(c[1]);
    const std::string log = load(plistDocument("<key>machineinfo</key><dict><key>dcregid</key>" + stored + "</dict>"));
    EXPECT_EQ(prefs.machineInfo().dcRegId(), id) << stored;
    const std::string line = logged.empty() ? "dcregid" : "-[MachineInfoSettings initWithDictionary:]:" + logged;
    EXPECT_EQ(log.find(line) != std::string::npos, !logged.empty()) << stored << "\n" << log;
  }
}

TEST_F(SettingsStore, ValuesOfTheWrongTypeAreLoggedAndReadAsAbsent) {
  const std::string log =
      load(plistDocument("<key>machineinfo</key><dict><key>machinename</key><integer>7</integer></dict>"
                         "<key>datapostsettings</key><dict><key>filestosendatexec</key><string>12x</string></dict>"
                         "<key>proxysettings</key><string>10.0.0.9:8080</string>"));
  EXPECT_NE(log.find("-[MachineInfoSettings initWithDictionary:]:\"machinename\" holds an integer, not a string"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("-[DataPostSettings initWithDictionary:]:\"filestosendatexec\" holds \"12x\""), std::string::npos);
  EXPECT_NE(log.find("\"proxysettings\" is not a dictionary"), std::string::npos);
  EXPECT_FALSE(prefs.machineInfo().machineName().has_value());
  EXPECT_EQ(value(prefs, "datapostsettings", "filestosendatexec").integer, 0);
  EXPECT_FALSE(prefs.proxySettings().proxyIP().has_value());

  ASSERT_TRUE(GlobalPreferences::saveGlobalPreferences(prefs));
  const std::string written = readSettings();
  EXPECT_NE(written.find("<key>proxysettings</key>\n\t<string>10.0.0.9:8080</string>"), std::string::npos);
  // Sections a file lacks are not added, not even those read as all null, 0 or false.
  for (const char* key : {"keepalive", "lmiinfo", "cleanupsettings", "uptime", "controllerinfo"}) {
    EXPECT_EQ(written.find(std::string("<key>") + key + "</key>"), std::string::npos) << key;
  }
}

}  // namespace
}  // namespace brim::test
