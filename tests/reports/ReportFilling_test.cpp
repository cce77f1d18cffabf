// A direct report's values are given by element name and checked against its
// declaration when the call is compiled: one missing, unknown or given twice
// does not build.
#include <gmock/gmock.h>

#include "envelope/DirectReports.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;

static_assert(FillsEveryElement<kMachineDetailsReport, "regid", "resourcename", "os", "osversion", "ip">);
static_assert(FillsEveryElement<kMachineDetailsReport, "ip", "os", "osversion", "resourcename", "regid">);
static_assert(!FillsEveryElement<kMachineDetailsReport, "regid", "resourcename", "os", "osversion">);  // missing
static_assert(!FillsEveryElement<kMachineDetailsReport, "regid", "resourcename", "os", "osversion", "ip", "mac">);
static_assert(!FillsEveryElement<kMachineDetailsReport, "regid", "resourcename", "os", "os", "ip">);  // twice
static_assert(!FillsEveryElement<kMachineDetailsReport, "regid", "resourcename", "os", "osversion", "Ip">);
static_assert(FillsEveryAttribute<kProcessReport, "cpu", "name", "mem">);
static_assert(!FillsEveryAttribute<kProcessReport, "name", "mem">);
static_assert(!FillsEveryElement<kSmartStatusReport>);

// The call itself refuses what the declaration does not hold.
template <const DirectReport& Report, class... Values>
concept Builds = requires(Values... values) {
  reportTree<Report>(values...);
};
static_assert(Builds<kProcessReport, ElementValue<"regid">, ElementValue<"ftime">, ElementValue<"ttime">>);
static_assert(!Builds<kProcessReport, ElementValue<"regid">, ElementValue<"ftime">>);
static_assert(
    !Builds<kProcessReport, ElementValue<"regid">, ElementValue<"ftime">, ElementValue<"ttime">, ElementValue<"mem">>);

// Whatever order the values are given in, the report is written in the
// declaration's, each value under its own element; an absent value still gets
// its element.
TEST(ReportFilling, ValuesLandUnderTheirOwnElementsInTheDeclarationsOrder) {
  const std::string report =
      reportTree<kMachineDetailsReport>(element<"ip">("10.0.0.7\n10.0.0.8"), element<"os">(std::nullopt),
                                        element<"osversion">("Darwin 21.6.0"), element<"regid">("4711"),
                                        element<"resourcename">("Front desk"))
          .XMLString();
  const auto at = [&](const char* text) { return report.find(text); };
  EXPECT_THAT(report, HasSubstr("<regid>4711</regid>"));
  EXPECT_THAT(report, HasSubstr("<resourcename><![CDATA[Front desk]]></resourcename>"));
  EXPECT_THAT(report, HasSubstr("<osversion><![CDATA[Darwin 21.6.0]]></osversion>"));
  EXPECT_THAT(report, HasSubstr("<ip><![CDATA[10.0.0.7\n10.0.0.8]]></ip>"));
  EXPECT_LT(at("<regid>"), at("<resourcename>"));
  EXPECT_LT(at("<resourcename>"), at("<os>"));
  EXPECT_LT(at("<os>"), at("<osversion>"));
  EXPECT_LT(at("<osversion>"), at("<ip>"));

  const std::string entry =
      entryTree<kProcessReport>(attribute<"cpu">("12.5"), attribute<"name">("Mail"), attribute<"mem">("3.1"))
          .XMLString();
  EXPECT_THAT(entry, HasSubstr("<prs name=\"Mail\" mem=\"3.1\" cpu=\"12.5\""));
}

}  // namespace
}  // namespace brim::test
