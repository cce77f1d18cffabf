#pragma once
// The layout of the settings file: one table per section, in the order a
// write-back rebuilds them. Adding a section is one entry here; the store
// creates, loads and writes back every section of this list.
#include <cstddef>
#include <optional>
#include <string_view>

#include "config/SectionFields.h"

namespace brim {

namespace layout {
using namespace field;

// Two sites stored encrypted, two flags and a "getdata" block naming query parameters.
inline constexpr FieldList kSites = {
    encrypted("primarysite"), encrypted("secondarysite"),     flag("encryption"),           flag("compression"),
    dictionary("getdata"),    text("memberid").in("getdata"), text("siteid").in("getdata"),
};
inline constexpr FieldList kRegistration = {text("regid").in("getdata"), text("agenttype").in("getdata")};
// "keepalive" and "uptime": the sites, how often, and a recovery site read but never written.
inline constexpr FieldList kKeepAlive =
    kSites + kRegistration + FieldList{integer("interval"), text("datarecoverysite").notWrittenBack()};
inline constexpr FieldList kScriptSites = {encrypted("requestsite"), encrypted("statussite")};

// One of the job runner's request blocks: three sites stored encrypted and the
// names of its query parameters.
constexpr FieldList jobRequest(std::string_view block) {
  return {
      encrypted("primarysite").in(block),      encrypted("secondarysite").in(block),
      encrypted("datarecoverysite").in(block), text("memberid").in(block, "getdata"),
      text("siteid").in(block, "getdata"),     text("regid").in(block, "getdata"),
      text("agenttype").in(block, "getdata"),
  };
}
}  // namespace layout

inline constexpr SectionTable kSettingsLayout[] = {
    {.key = "controllerinfo",
     .className = "ControllerInfoSettings",
     .loadRank = 1,
     .fields = {field::integer("versionnumber"), field::integer("minversion"), field::integer("memberid"),
                field::integer("siteid")}},
    {.key = "dcregurl", .className = "DCRegURLSettings", .loadRank = 2, .fields = layout::kSites},
    {.key = "machineinfo",
     .className = "MachineInfoSettings",
     .loadRank = 3,
     .logsEachRebuild = true,
     .fields = {field::text("machinename"), field::text("logonname"), field::integer("dcregid"),
                field::integer("keepaliveintervalminutes"), field::text("agenttype"), field::text("installdate"),
                field::text("updatedon"), field::text("sitecode"), field::text("sitename"), field::text("membername"),
                field::text("HDpasswdupdatedon")}},
    {.key = "datatodisasterrecovery",
     .className = "DateToDisasterRecoverySettings",
     .loadRank = 4,
     .fields = {field::flag("reporttodr"), field::text("datadrsite"), field::flag("datadrsitewithencryption"),
                field::text("checkfordr")}},
    // The job runner owns this section's layout: written back exactly as read.
    {.key = "job",
     .className = "JobSettings",
     .loadRank = 5,
     .writeBack = WriteBack::AsRead,
     .fields = layout::jobRequest("jobrequestlist") + layout::jobRequest("jobrequestdata") +
               layout::jobRequest("jobdelete") + layout::jobRequest("jobupdatestatus") +
               FieldList{field::digits("checkforjobinterval")}},
    {.key = "xmppregurl",
     .className = "XmppRegURLSettings",
     .loadRank = 6,
     .fields = layout::kSites + layout::kRegistration},
    // The installer's folders; relative ones are joined to the install path.
    {.key = "macfolders",
     .className = "MacFolderSettings",
     .loadRank = 7,
     .writeBack = WriteBack::Never,
     .fields = {field::text("agentinstallpathabsolute"), field::text("configdirrelative"),
                field::text("downloaddirrelative"), field::text("executabledirrelative"),
                field::text("tempdirrelative"), field::text("datapostdirrelative"), field::text("datadirrelative"),
                field::text("libdirrelative"), field::text("logdirrelative")}},
    {.key = "uninstall",
     .className = "UninstallSettings",
     .loadRank = 8,
     .fields = layout::kSites + layout::kRegistration +
               FieldList{field::text("executablepathrelative"), field::text("silentcommandlineargument")}},
    // The password is stored plain; the retry delays are read, never written.
    {.key = "xmppreginfo",
     .className = "XmppRegisterInfo",
     .loadRank = 9,
     .fields = {field::text("domainname"), field::text("passwd"), field::text("primaryjid"),
                field::text("primaryserver"), field::integer("primaryretrycount"), field::integer("primaryxmpptimeout"),
                field::integer("primaryretrydelay").notWrittenBack(), field::integer("primaryxmppport"),
                field::encrypted("primaryagentstatusinfourl"), field::text("secondaryjid"),
                field::text("secondaryserver"), field::integer("secondaryretrycount"),
                field::integer("secondaryxmpptimeout"), field::integer("secondaryretrydelay").notWrittenBack(),
                field::integer("secondaryxmppport"), field::encrypted("secondaryagentstatusinfourl")}},
    {.key = "lmiinfo",
     .className = "LmiInfoSettings",
     .loadRank = 10,
     .absentWithoutDictionary = true,
     .fields = {field::encrypted("permissionreqsite"), field::encrypted("installationstatussite"),
                field::encrypted("registerationsite"), field::encrypted("uninstallsite"), field::dictionary("getdata"),
                field::text("memberid").in("getdata"), field::text("siteid").in("getdata"),
                field::text("registerid").in("getdata"), field::text("agenttype").in("getdata")}},
    // "downloadSite" with a capital S, as the agent writes it.
    {.key = "macagentupdate",
     .className = "MacAgentUpdateSettings",
     .loadRank = 11,
     .fields = {field::encrypted("primarysite"), field::encrypted("statussite"), field::encrypted("downloadSite"),
                field::integer("checkforupdates")}},
    // User name and password are encrypted afresh from what is held at each write-back.
    {.key = "proxysettings",
     .className = "ProxySettings",
     .loadRank = 12,
     .fields = {field::text("proxyip"), field::integer("proxyport"), field::reencrypted("proxyusername"),
                field::reencrypted("proxypassword")}},
    {.key = "keepalive",
     .className = "KeepAliveSettings",
     .loadRank = 13,
     .absentWithoutDictionary = true,
     .fields = layout::kKeepAlive},
    {.key = "uptime", .className = "UpTimeSettings", .loadRank = 14, .fields = layout::kKeepAlive},
    // The installer's set-up check sites.
    {.key = "setupversionckeckurl",
     .className = "SetupVersionCheckSettings",
     .loadRank = 15,
     .writeBack = WriteBack::Never,
     .fields = layout::kSites},
    {.key = "datapostsettings",
     .className = "DataPostSettings",
     .loadRank = 16,
     .absentWithoutDictionary = true,
     .fields = {field::digits("filestosendatexec"), field::digits("movetoerrordays")}},
    {.key = "cleanupsettings",
     .className = "CleanupSettings",
     .loadRank = 17,
     .absentWithoutDictionary = true,
     .fields = {field::digits("daystodeletedata"), field::digits("daystodeletedatapost"),
                field::digits("logfilemaxsizeinmb"), field::digits("rssdbmaxsizeinmb")}},
    {.key = "scriptsettings", .className = "ScriptEngineSettings", .loadRank = 18, .fields = layout::kScriptSites},
    {.key = "gatewaysettings",
     .className = "GatewayRegistrationData",
     .loadRank = 20,
     .fields = {field::text("ipaddress"), field::integer("portnumber"), field::text("tpfoldername"),
                field::text("agentfoldername"), field::text("avfoldername"), field::text("updatedon")}},
    {.key = "scriptsettingscommunicator",
     .className = "ScriptSettingsCommunicator",
     .loadRank = 19,
     .fields = layout::kScriptSites},
};

// The position of the section stored under key in the layout.
constexpr std::optional<size_t> settingsSectionIndex(std::string_view key) {
  for (size_t i = 0; i < std::size(kSettingsLayout); ++i) {
    if (kSettingsLayout[i].key == key) return i;
  }
  return std::nullopt;
}

// The table of a section named at compile time: a key the layout lacks does not compile.
consteval const SectionTable& settingsTable(std::string_view key) {
  return kSettingsLayout[settingsSectionIndex(key).value()];
}

}  // namespace brim
