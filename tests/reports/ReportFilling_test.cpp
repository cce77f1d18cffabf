// A direct report's values are given by element name and checked against its
// declaration when the call is compiled: one missing, unknown or given twice
// does not build.
#include <gtest/gtest.h>

#include "envelope/DirectReports.h"

namespace brim::test {
namespace {

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
  EXPECT_EQ(reportTree<kMachineDetailsReport>(element<"ip">("10.0.0.7\n10.0.0.8"), element<"os">(std::nullopt),
                                              element<"osversion">("Darwin 21.6.0"), element<"regid">("4711"),
                                              element<"resourcename">("Front desk"))
                .XMLString(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacupdsysdtl><regid>4711</regid>"
            "<resourcename><![CDATA[Front desk]]></resourcename><os><![CDATA[(null)]]></os>"
            "<osversion><![CDATA[Darwin 21.6.0]]></osversion><ip><![CDATA[10.0.0.7\n10.0.0.8]]></ip></wpmacupdsysdtl>");
  EXPECT_EQ(entryTree<kProcessReport>(attribute<"cpu">("12.5"), attribute<"name">("Mail"), attribute<"mem">("3.1"))
                .XMLString(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><prs name=\"Mail\" mem=\"3.1\" cpu=\"12.5\"/>");
}

}  // namespace
}  // namespace brim::test
