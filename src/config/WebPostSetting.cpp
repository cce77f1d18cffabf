#include "config/WebPostSetting.h"

#include "config/GlobalPreferences.h"

namespace brim {
namespace {
using namespace field;
constexpr SectionTable kTable = {
    .key = {},  // one entry of the web-post file, under its name
    .className = "WebPostSetting",
    .fields = {encrypted("primarysite"), encrypted("secondarysite"), encrypted("disasterrecovery"), flag("compression"),
               flag("encryption"), flag("encryptxmlroottag"), dictionary("getdata"), text("memberid").in("getdata"),
               text("siteid").in("getdata"), text("regid").in("getdata"), text("agenttype").in("getdata"),
               text("other").in("getdata")},
};

bool named(const std::optional<std::string>& name) { return name && !name->empty(); }
}  // namespace

WebPostSetting::WebPostSetting() : fields_(kTable) {}

bool WebPostSetting::initWithDictionary(plist_t dict) { return dict && fields_.initWithDictionary(dict); }

const std::optional<std::string>& WebPostSetting::primarySite() const {
  return fields_.value(kTable.field("primarysite")).text;
}
const std::optional<std::string>& WebPostSetting::secondarySite() const {
  return fields_.value(kTable.field("secondarysite")).text;
}
const std::optional<std::string>& WebPostSetting::disasterRecovery() const {
  return fields_.value(kTable.field("disasterrecovery")).text;
}
const std::optional<std::string>& WebPostSetting::storedSite(std::string_view key) const {
  static const std::optional<std::string> kNone;
  const FieldValue* value = fields_.find(key);
  return value ? value->stored : kNone;
}
bool WebPostSetting::compression() const { return fields_.value(kTable.field("compression")).flag; }
bool WebPostSetting::encryption() const { return fields_.value(kTable.field("encryption")).flag; }
bool WebPostSetting::encryptXMLRootTag() const { return fields_.value(kTable.field("encryptxmlroottag")).flag; }

std::string WebPostSetting::GETDataURLSubString() const {
  return GETDataURLSubString(GlobalPreferences::getSharedInstance());
}

std::string WebPostSetting::GETDataURLSubString(const GlobalPreferences& prefs) const {
  std::string query;
  auto append = [&query](const std::string& parameter) {
    query += query.empty() ? '?' : '&';
    query += parameter;
  };
  auto parameter = [this](size_t field) -> const std::optional<std::string>& { return fields_.value(field).text; };
  const ControllerInfoSettings controller = prefs.controllerInfo();
  const MachineInfoSettings machine = prefs.machineInfo();
  if (const auto& memberID = parameter(kTable.field("getdata/memberid")); named(memberID)) {
    append(*memberID + "=" + std::to_string(controller.memberId()));
  }
  if (const auto& siteID = parameter(kTable.field("getdata/siteid")); named(siteID)) {
    append(*siteID + "=" + std::to_string(controller.siteId()));
  }
  if (const auto& regID = parameter(kTable.field("getdata/regid")); named(regID)) {
    append(*regID + "=" + std::to_string(machine.dcRegId()));
  }
  // A machine without an agent type still names the parameter, with an empty value.
  if (const auto& agentType = parameter(kTable.field("getdata/agenttype")); named(agentType)) {
    append(*agentType + "=" + machine.agentType().value_or(""));
  }
  if (encryption()) append("ec=256");
  if (const auto& other = parameter(kTable.field("getdata/other")); named(other)) append(*other);
  return query;
}

}  // namespace brim
