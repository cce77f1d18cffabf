#include "envelope/XMLTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "platform/Plist.h"
#include "platform/Text.h"

namespace brim {
namespace {

using ::testing::HasSubstr;

std::string document(const std::string& body) { return R"(<?xml version="1.0" encoding="UTF-8"?>)" + body; }

// Standard output while action runs: the log echo and the tree's own writes.
std::string outputOf(const std::function<void()>& action) {
  testing::internal::CaptureStdout();
  action();
  return testing::internal::GetCapturedStdout();
}

// The "info" text of the first application in the recorded profiler output
// that holds an ampersand, the kind of value the CDATA children exist for.
std::string recordedApplicationInfo() {
  const Plist list = readPlistFile(BRIM_TEST_FIXTURES "/macos/mac-a/SPApplicationsDataType.xml");
  plist_t items = plistDictItem(plist_array_get_item(list.get(), 0), "_items");
  for (uint32_t i = 0; i < plist_array_get_size(items); ++i) {
    auto info = plistString(plistDictItem(plist_array_get_item(items, i), "info"));
    if (info && info->find('&') != std::string::npos) return *info;
  }
  ADD_FAILURE() << "no application info with an ampersand in the fixture";
  return {};
}

TEST(XMLTreeDocument, AddsNoWhiteSpaceAndKeepsOrder) {
  XMLTree tree("report");
  tree.addChildNodeToCurrentNodeWithName("a", std::nullopt);
  tree.addChildNodeToCurrentNodeWithName("b", std::string());
  EXPECT_EQ(tree.XMLString(), document("<report><a/><b/></report>"));
  EXPECT_EQ(tree.toNSData(), tree.XMLString());
}

TEST(XMLTreeDocument, OrdinaryTextIsEscapedAndKeepsItsSpaces) {
  XMLTree tree("report");
  tree.addChildNodeToCurrentNodeWithName("v", std::string("  a < b & c > d \"q\"  "));
  tree.addChildNodeToCurrentNodeWithName("multi", std::string("line one\nline two"));
  EXPECT_EQ(tree.XMLString(), document("<report><v>  a &lt; b &amp; c &gt; d \"q\"  </v>"
                                       "<multi>line one\nline two</multi></report>"));
}

TEST(XMLTreeDocument, AttributesKeepTheirOrderAndEscapeQuotesAndLineBreaks) {
  XMLTree tree("fn");
  tree.addAttributeToCurrentNodeWithName("z", "1");
  tree.addAttributeToCurrentNodeWithName("a", "say \"hi\" & <go>\n");
  tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", "1");
  EXPECT_EQ(tree.XMLString(), document("<fn z=\"1\" a=\"say &quot;hi&quot; &amp; &lt;go>&#10;\"><dtl ID=\"1\"/></fn>"));
}

TEST(XMLTreeDocument, ASecondAttributeOfTheSameNameIsRefused) {
  XMLTree tree("fn");
  tree.addAttributeToCurrentNodeWithName("ID", "1");
  const std::string output = outputOf([&] { tree.addAttributeToCurrentNodeWithName("ID", "2"); });
  EXPECT_EQ(tree.XMLString(), document(R"(<fn ID="1"/>)"));
  EXPECT_THAT(output, HasSubstr("-[XMLTree addAttributeToCurrentNodeWithName:stringValue:]:attribute ID not added"));
}

TEST(XMLTreeDocument, CharactersXmlCannotCarryAreReplacedInOrdinaryValues) {
  XMLTree tree("r");
  const std::string output = outputOf([&] {
    tree.addChildNodeToCurrentNodeWithName("v", std::string("a\x01"
                                                            "b\xFF"
                                                            "c"));
  });
  EXPECT_EQ(tree.XMLString(), document("<r><v>a\xEF\xBF\xBD"
                                       "b\xEF\xBF\xBD"
                                       "c</v></r>"));
  EXPECT_THAT(output, HasSubstr("-[XMLTree addChildNodeToCurrentNodeWithName:stringValue:]:characters XML cannot "
                                "carry replaced in the value of v"));
}

TEST(XMLTreeDocument, IllegalNamesLeaveTheTreeUnchanged) {
  XMLTree tree("r");
  const std::string output = outputOf([&] {
    tree.addChildNodeToCurrentNodeWithName("1st", std::string("x"));
    tree.addChildNodeToCurrentNodeWithName("a b", std::string("x"));
    tree.addChildNodeToCurrentNodeWithName("", std::string("x"));
    tree.addChildNodeToCurrentNodeWithName("ok", std::nullopt, "bad name", "1");
    tree.addAttributeToCurrentNodeWithName("<", "1");
  });
  EXPECT_EQ(tree.XMLString(), document("<r/>"));
  EXPECT_THAT(output, HasSubstr("element not added: \"1st\" is not an XML name"));
  EXPECT_THAT(output, HasSubstr("attribute not added: \"bad name\" is not an XML name"));
  // Names outside ASCII are names all the same.
  tree.addChildNodeToCurrentNodeWithName("größe", std::string("1"));
  EXPECT_EQ(tree.XMLString(), document("<r><größe>1</größe></r>"));
}

TEST(XMLTreeCDATA, ValuesAreTrimmedAndWrittenUnescaped) {
  XMLTree tree("r");
  tree.addChildNodeWithCDATAToCurrentNodeWithName("a", std::string("  null \n"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("b", std::nullopt);
  tree.addChildNodeWithCDATAToCurrentNodeWithName("c", std::string("\t x < y & z \r\n"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("d", std::string("(null)"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("e", std::string("nullable"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("f", std::string("\xE2\x80\x83wide spaces\xC2\xA0"));
  EXPECT_EQ(tree.XMLString(), document("<r><a><![CDATA[]]></a><b><![CDATA[(null)]]></b>"
                                       "<c><![CDATA[x < y & z]]></c><d><![CDATA[(null)]]></d>"
                                       "<e><![CDATA[nullable]]></e><f><![CDATA[wide spaces]]></f></r>"));
}

TEST(XMLTreeCDATA, RecordedMultiLineValueReachesTheDocumentAsItIs) {
  const std::string info = recordedApplicationInfo();
  XMLTree tree("app");
  tree.addChildNodeWithCDATAToCurrentNodeWithName("info", info);
  tree.addChildNodeToCurrentNodeWithName("plain", info);
  std::string escaped = info;
  escaped.replace(escaped.find('&'), 1, "&amp;");
  EXPECT_EQ(tree.XMLString(),
            document("<app><info><![CDATA[" + info + "]]></info><plain>" + escaped + "</plain></app>"));
}

TEST(XMLTreeCDATA, AFragmentThatCouldNotParseLeavesTheTreeUnchanged) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("keep", std::string("1"));
  const std::string before = tree.XMLString();
  const std::string output = outputOf([&] {
    tree.addChildNodeWithCDATAToCurrentNodeWithName("v", std::string("a]]>b"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("a b", std::string("x"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("x><y", std::string("x"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("", std::string("x"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("v", std::string("bell\x07"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("v", std::string("cut \xE2\x82"));
  });
  EXPECT_EQ(tree.XMLString(), before);
  const std::string sig = "-[XMLTree addChildNodeWithCDATAToCurrentNodeWithName:stringValue:]:";
  EXPECT_THAT(output, HasSubstr(sig + "CDATA element not added, the value holds \"]]>\": <v><![CDATA[a]]>b]]></v>"));
  EXPECT_THAT(output, HasSubstr(sig + "CDATA element not added, the name is not an XML name: <a b>"));
  EXPECT_THAT(output, HasSubstr(sig + "CDATA element not added, the value holds characters XML cannot carry"));
}

// The collectors' pattern: a record per item, found again by its running number.
TEST(XMLTreeJumps, RecordsAreBuiltByJumpingIntoNumberedChildren) {
  XMLTree tree("fn");
  tree.addChildNodeWithCDATAToCurrentNodeWithName("fnname", std::string("getMemoryInfo"));
  for (const char* id : {"1", "2"}) {
    tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", id);
    ASSERT_TRUE(tree.jumpToChildWithAttributeName("ID", id));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("size", std::string(id) + " GB");
    ASSERT_TRUE(tree.jumpToParent());
  }
  EXPECT_EQ(tree.XMLString(), document("<fn><fnname><![CDATA[getMemoryInfo]]></fnname>"
                                       "<dtl ID=\"1\"><size><![CDATA[1 GB]]></size></dtl>"
                                       "<dtl ID=\"2\"><size><![CDATA[2 GB]]></size></dtl></fn>"));
}

TEST(XMLTreeJumps, EqualAttributeValuesLeadToTheFirstChild) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", "7");
  tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", "7");
  ASSERT_TRUE(tree.jumpToChildWithAttributeName("ID", "7"));
  tree.addChildNodeToCurrentNodeWithName("first", std::nullopt);
  EXPECT_EQ(tree.XMLString(), document(R"(<r><dtl ID="7"><first/></dtl><dtl ID="7"/></r>)"));
}

TEST(XMLTreeJumps, AFailedJumpLeavesTheInsertionPointWhereItWas) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("a", std::string("text"));
  ASSERT_TRUE(tree.jumpToChildWithName("a"));
  tree.addChildNodeToCurrentNodeWithName("deep", std::string("x"));
  ASSERT_TRUE(tree.jumpToParent());
  // Root level: no parent, nothing by these names or values among the direct children.
  EXPECT_FALSE(tree.jumpToParent());
  EXPECT_FALSE(tree.jumpToSiblingWithName("r"));
  EXPECT_FALSE(tree.jumpToChildWithName("deep"));
  EXPECT_FALSE(tree.jumpToChildWithName("A"));
  EXPECT_FALSE(tree.jumpToChildWithName(""));
  EXPECT_FALSE(tree.jumpToChildWithStringValue("text"));
  EXPECT_FALSE(tree.jumpToChildWithAttributeName("ID", "1"));
  EXPECT_FALSE(tree.jumpToChildWithNameAndChildStringValue("a", "text"));
  tree.addChildNodeToCurrentNodeWithName("end", std::nullopt);
  EXPECT_EQ(tree.currentNode(), tree.rootElement());
  EXPECT_EQ(tree.XMLString(), document("<r><a>text<deep>x</deep></a><end/></r>"));
}

TEST(XMLTreeJumps, TextComparesTheWholeTextOfAChild) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("a", std::string("one"));
  tree.addChildNodeToCurrentNodeWithName("b", std::string("two"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("c", std::string("two"));
  ASSERT_TRUE(tree.jumpToChildWithStringValue("two"));
  EXPECT_STREQ(tree.currentNode().name(), "b");
  ASSERT_TRUE(tree.jumpToParent());
  ASSERT_TRUE(tree.jumpToChildWithNameAndChildStringValue("c", "two"));
  EXPECT_STREQ(tree.currentNode().name(), "c");
  ASSERT_TRUE(tree.jumpToParent());
  ASSERT_TRUE(tree.jumpToChildWithName("a"));
  tree.addChildNodeToCurrentNodeWithName("x", std::string("more"));
  ASSERT_TRUE(tree.jumpToParent());
  EXPECT_FALSE(tree.jumpToChildWithStringValue("one"));
  EXPECT_TRUE(tree.jumpToChildWithStringValue("onemore"));
}

TEST(XMLTreeJumps, SiblingAndRootJumps) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("a", std::nullopt);
  tree.addChildNodeToCurrentNodeWithName("b", std::nullopt);
  ASSERT_TRUE(tree.jumpToChildWithName("a"));
  EXPECT_TRUE(tree.jumpToSiblingWithName("a"));  // itself
  EXPECT_STREQ(tree.currentNode().name(), "a");
  EXPECT_TRUE(tree.jumpToSiblingWithName("b"));
  tree.addChildNodeToCurrentNodeWithName("in_b", std::nullopt);
  EXPECT_TRUE(tree.jumpToChildWithName("in_b"));
  EXPECT_TRUE(tree.jumpToRootNode());
  tree.addChildNodeToCurrentNodeWithName("c", std::nullopt);
  EXPECT_EQ(tree.XMLString(), document("<r><a/><b><in_b/></b><c/></r>"));
}

TEST(XMLTreeTrees, AnAddedTreeIsACopy) {
  XMLTree report("wpmacasstinfo");
  XMLTree category("fn");
  category.addChildNodeWithCDATAToCurrentNodeWithName("fnname", std::string("getMemoryInfo"));
  report.addChildTree(category);
  category.addChildNodeToCurrentNodeWithName("late", std::nullopt);
  category.addAttributeToCurrentNodeWithName("ID", "9");
  EXPECT_EQ(report.XMLString(),
            document("<wpmacasstinfo><fn><fnname><![CDATA[getMemoryInfo]]></fnname></fn></wpmacasstinfo>"));
  report.addChildTree(report);
  EXPECT_EQ(report.XMLString(), document("<wpmacasstinfo><fn><fnname><![CDATA[getMemoryInfo]]></fnname></fn>"
                                         "<wpmacasstinfo><fn><fnname><![CDATA[getMemoryInfo]]></fnname></fn>"
                                         "</wpmacasstinfo></wpmacasstinfo>"));
}

TEST(XMLTreeTrees, ASiblingTreeGoesNextToTheInsertionPoint) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("a", std::nullopt);
  ASSERT_TRUE(tree.jumpToChildWithName("a"));
  tree.addSiblingTree(XMLTree("s"));
  EXPECT_STREQ(tree.currentNode().name(), "a");
  tree.addChildNodeToCurrentNodeWithName("in_a", std::nullopt);
  ASSERT_TRUE(tree.jumpToRootNode());
  tree.addSiblingTree(XMLTree("t"));  // the root has no parent: it goes under the root
  EXPECT_EQ(tree.XMLString(), document("<r><a><in_a/></a><s/><t/></r>"));
}

TEST(XMLTreeTrees, ACopyKeepsItsInsertionPointInsideItself) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("a", std::string("t"));
  tree.addChildNodeToCurrentNodeWithName("b", std::nullopt);
  ASSERT_TRUE(tree.jumpToChildWithName("b"));
  XMLTree copy = tree;
  copy.addChildNodeToCurrentNodeWithName("in_copy", std::nullopt);
  tree.addChildNodeToCurrentNodeWithName("in_tree", std::nullopt);
  EXPECT_EQ(copy.XMLString(), document("<r><a>t</a><b><in_copy/></b></r>"));
  EXPECT_EQ(tree.XMLString(), document("<r><a>t</a><b><in_tree/></b></r>"));

  XMLTree assigned("other");
  assigned = copy;
  XMLTree moved = std::move(copy);
  moved.addChildNodeToCurrentNodeWithName("after_move", std::nullopt);
  assigned.addChildNodeToCurrentNodeWithName("after_assign", std::nullopt);
  EXPECT_EQ(moved.XMLString(), document("<r><a>t</a><b><in_copy/><after_move/></b></r>"));
  EXPECT_EQ(assigned.XMLString(), document("<r><a>t</a><b><in_copy/><after_assign/></b></r>"));
}

TEST(XMLTreeCreation, FromTextKeepsTheRootAndLogsIt) {
  XMLTree tree;
  const std::string text = document("<wpmacsmartsts><dtl><st><![CDATA[Verified & OK]]></st></dtl></wpmacsmartsts>");
  const std::string output = outputOf([&] { tree = XMLTree::initWithXMLString(text); });
  EXPECT_EQ(tree.rootName(), "wpmacsmartsts");
  EXPECT_EQ(tree.XMLString(), text);
  EXPECT_THAT(output, HasSubstr("-[XMLTree initWithXMLString:]:rootElement=<wpmacsmartsts><dtl><st><![CDATA["
                                "Verified & OK]]></st></dtl></wpmacsmartsts>"));
  EXPECT_TRUE(tree.jumpToChildWithName("dtl"));
}

TEST(XMLTreeCreation, TextThatDoesNotParseGivesATreeWithoutRoot) {
  for (const std::optional<std::string>& text :
       {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("<a><b></a>"),
        std::optional<std::string>("<a/><b/>"), std::optional<std::string>("plain words")}) {
    XMLTree tree;
    const std::string output = outputOf([&] { tree = XMLTree::initWithXMLString(text); });
    EXPECT_THAT(output, HasSubstr("-[XMLTree initWithXMLString:]:rootElement=(null)")) << orNull(text);
    EXPECT_FALSE(tree.rootElement());
    EXPECT_EQ(tree.rootName(), "");
    EXPECT_EQ(tree.XMLString(), document(""));
    EXPECT_FALSE(tree.jumpToRootNode());
    outputOf([&] { tree.addChildNodeToCurrentNodeWithName("a", std::nullopt); });
    EXPECT_EQ(tree.XMLString(), document(""));
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(tree.XMLStringWithoutRootNode(), ""); }).find("trimmedString"),
              std::string::npos);
  }
}

TEST(XMLTreeCreation, ATreeWithoutNameHoldsOnlyAnEmptyCDATANode) {
  XMLTree tree;
  EXPECT_EQ(tree.XMLString(), document("<![CDATA[]]>"));
  EXPECT_TRUE(tree.jumpToRootNode());
  const std::string output = outputOf([&] {
    tree.addChildNodeToCurrentNodeWithName("a", std::nullopt);
    tree.addAttributeToCurrentNodeWithName("b", "1");
  });
  EXPECT_EQ(tree.XMLString(), document("<![CDATA[]]>"));
  EXPECT_THAT(output, HasSubstr("nothing appended"));
  XMLTree report("r");
  report.addChildTree(tree);
  EXPECT_EQ(report.XMLString(), document("<r><![CDATA[]]></r>"));
}

TEST(XMLTreeWithoutRoot, OneChildIsExactlyThatChild) {
  XMLTree tree("report");
  tree.addChildNodeToCurrentNodeWithName("b", std::string("x"));
  std::string result;
  const std::string output = outputOf([&] { result = tree.XMLStringWithoutRootNode(); });
  EXPECT_EQ(result, "<b>x</b>");
  const std::string sig = "-[XMLTree XMLStringWithoutRootNode]:";
  EXPECT_THAT(output, HasSubstr(sig + "Full String " + document("<report><b>x</b></report>")));
  EXPECT_THAT(output, HasSubstr("\ntrimmedString=<b>x</b>\n"));
  EXPECT_THAT(output, HasSubstr(sig + "i=1 component count=3"));
  EXPECT_THAT(output, HasSubstr(sig + "xmlWithoutRootTag=<b>x</b>"));
}

// The text is cut wherever the root's name occurs, so a name inside the
// content shapes the result, as the category root "fn" and its "fnname" child show.
TEST(XMLTreeWithoutRoot, TheRootNameInsideTheContentIsCutToo) {
  XMLTree fn("fn");
  fn.addChildNodeWithCDATAToCurrentNodeWithName("fnname", std::string("m"));
  std::string result;
  std::string output = outputOf([&] { result = fn.XMLStringWithoutRootNode(); });
  EXPECT_EQ(result, "<name><![CDATA[m]]></name>");
  EXPECT_THAT(output, HasSubstr("\ntrimmedString=name>\n"));
  for (const char* line : {"i=1 component count=5", "i=2 component count=5", "i=3 component count=5"}) {
    EXPECT_THAT(output, HasSubstr(std::string("-[XMLTree XMLStringWithoutRootNode]:") + line));
  }

  // Pieces: "<?xml ...?><", "><", ">", "</", "></", ">": the lone ">" becomes "report>".
  XMLTree report("report");
  report.addChildNodeToCurrentNodeWithName("report", std::string("report"));
  output = outputOf([&] { result = report.XMLStringWithoutRootNode(); });
  EXPECT_EQ(result, "<report></>");
  EXPECT_THAT(output, HasSubstr("i=4 component count=6"));
}

TEST(XMLTreeWithoutRoot, AnEmptyRootGivesTheEmptyString) {
  XMLTree tree("report");
  EXPECT_EQ(tree.XMLString(), document("<report/>"));
  std::string result = "unset";
  const std::string output = outputOf([&] { result = tree.XMLStringWithoutRootNode(); });
  EXPECT_EQ(result, "");
  EXPECT_THAT(output, HasSubstr("-[XMLTree XMLStringWithoutRootNode]:xmlWithoutRootTag=\n"));
  EXPECT_EQ(output.find("trimmedString"), std::string::npos);
}

}  // namespace
}  // namespace brim
