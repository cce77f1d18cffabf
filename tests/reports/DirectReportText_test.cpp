#include <gtest/gtest.h>

#include "envelope/ReportEnvelope.h"
#include "net/ReportDelivery.h"

namespace brim::test {
namespace {

TEST(CheckUrl, OnlyAddressesWithWhiteSpaceAreEscaped) {
  EXPECT_EQ(checkurl("http://dc.example:8080/web post/a b.php?x=1&y=2"),
            "http://dc.example:8080/web%20post/a%20b.php?x=1&y=2");
  EXPECT_EQ(checkurl("http://h/a\tb/caf\xC3\xA9|"), "http://h/a%09b/caf%C3%A9%7C");
  // Without white space the address stays as it is, even with characters a URL may not hold.
  EXPECT_EQ(checkurl("http://h/caf\xC3\xA9|{x}"), "http://h/caf\xC3\xA9|{x}");
}

TEST(RootStripping, TheTextBetweenTheRootTagsIsKeptByteForByte) {
  const std::string compressed =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<wpmacsmartsts>\r\n    <compressed><![CDATA[eJzz\r\n]]>"
      "</compressed>\r\n</wpmacsmartsts>\r\n";
  EXPECT_EQ(xmlStringWithoutRootNodeWithName("wpmacsmartsts", compressed),
            "\r\n    <compressed><![CDATA[eJzz\r\n]]></compressed>\r\n");
  // The root's name inside a value does not end the search early.
  EXPECT_EQ(xmlStringWithoutRootNodeWithName("r", "<?xml version=\"1.0\"?><r><rr>r</rr><r2>x</r2></r>"),
            "<rr>r</rr><r2>x</r2>");
  EXPECT_EQ(xmlStringWithoutRootNodeWithName("r", "<r/>"), "");
  EXPECT_EQ(xmlStringWithoutRootNodeWithName("r", "<other>x</other>"), std::nullopt);
  EXPECT_EQ(xmlStringWithoutRootNodeWithName("r", "<r>unterminated"), std::nullopt);
}

}  // namespace
}  // namespace brim::test
