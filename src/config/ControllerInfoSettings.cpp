#include "config/ControllerInfoSettings.h"

#include "config/SettingsLayout.h"

namespace brim {
namespace {
constexpr const SectionTable& kTable = settingsTable("controllerinfo");
}  // namespace

int64_t ControllerInfoSettings::memberId() const { return section_.value(kTable.field("memberid")).integer; }
int64_t ControllerInfoSettings::siteId() const { return section_.value(kTable.field("siteid")).integer; }

}  // namespace brim
