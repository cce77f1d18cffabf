#include "envelope/XMLTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "platform/Plist.h"

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

// A recorded multi-line application "info" text holding an ampersand.
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

TEST(XMLTreeDocument, OneLineWithEscapedTextAndAttributesInOrder) {
  XMLTree tree("fn");
  tree.addAttributeToCurrentNodeWithName("z", "1");
  tree.addAttributeToCurrentNodeWithName("a", "say \"hi\" & <go>\n");
  tree.addChildNodeToCurrentNodeWithName("empty", std::nullopt);
  tree.addChildNodeToCurrentNodeWithName("blank", std::string());
  tree.addChildNodeToCurrentNodeWithName("v", std::string("  a < b & c > d \"q\"\nnext  "));
  tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", "1");
  EXPECT_EQ(tree.XMLString(), document("<fn z=\"1\" a=\"say &quot;hi&quot; &amp; &lt;go>&#10;\"><empty/><blank/>"
                                       "<v>  a &lt; b &amp; c &gt; d \"q\"\nnext  </v><dtl ID=\"1\"/></fn>"));
  EXPECT_EQ(tree.toNSData(), tree.XMLString());
}

TEST(XMLTreeDocument, WhatXmlCannotCarryIsReplacedOrRefused) {
  XMLTree tree("r");
  const std::string output = outputOf([&] {
    tree.addChildNodeToCurrentNodeWithName("v", std::string("a\x01z\xFF"));
    tree.addChildNodeToCurrentNodeWithName("1st", std::string("x"));
    tree.addChildNodeToCurrentNodeWithName("", std::string("x"));
    tree.addChildNodeToCurrentNodeWithName("ok", std::nullopt, "bad name", "1");
    tree.addAttributeToCurrentNodeWithName("ID", "1");
    tree.addAttributeToCurrentNodeWithName("ID", "2");
  });
  tree.addChildNodeToCurrentNodeWithName("größe", std::string("1"));
  EXPECT_EQ(tree.XMLString(), document("<r ID=\"1\"><v>a\uFFFDz\uFFFD</v><größe>1</größe></r>"));
  EXPECT_THAT(output, HasSubstr("-[XMLTree addChildNodeToCurrentNodeWithName:stringValue:]:characters XML cannot "
                                "carry replaced in the value of v: a\uFFFDz\uFFFD"));
  EXPECT_THAT(output, HasSubstr("element not added: \"1st\" is not an XML name"));
  EXPECT_THAT(output, HasSubstr("attribute not added: \"bad name\" is not an XML name"));
  EXPECT_THAT(output, HasSubstr("addAttributeToCurrentNodeWithName:stringValue:]:attribute ID not added"));
}

TEST(XMLTreeCDATA, ValuesAreTrimmedAndWrittenUnescaped) {
  const std::string info = recordedApplicationInfo();
  XMLTree tree("r");
  tree.addChildNodeWithCDATAToCurrentNodeWithName("a", std::string("  null \n"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("b", std::nullopt);
  tree.addChildNodeWithCDATAToCurrentNodeWithName("c", std::string("\t x < y & z \r\n"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("d", std::string("nullable"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("e", std::string("\u2003wide spaces\u00A0"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("f",
                                                  std::string("one\r\ntwo\rthree"));  // as an XML reader hands it on
  tree.addChildNodeWithCDATAToCurrentNodeWithName("info", info);
  EXPECT_EQ(tree.XMLString(), document("<r><a><![CDATA[]]></a><b><![CDATA[(null)]]></b><c><![CDATA[x < y & z]]></c>"
                                       "<d><![CDATA[nullable]]></d><e><![CDATA[wide spaces]]></e>"
                                       "<f><![CDATA[one\ntwo\nthree]]></f>"
                                       "<info><![CDATA[" +
                                       info + "]]></info></r>"));
}

TEST(XMLTreeCDATA, AFragmentThatCouldNotParseLeavesTheTreeUnchanged) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("keep", std::string("1"));
  const std::string output = outputOf([&] {
    tree.addChildNodeWithCDATAToCurrentNodeWithName("v", std::string("a]]>b"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("a b", std::string("x"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("x><y", std::string("x"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("v", std::string("bell\x07"));
    tree.addChildNodeWithCDATAToCurrentNodeWithName("v", std::string("cut \xE2\x82"));
  });
  EXPECT_EQ(tree.XMLString(), document("<r><keep>1</keep></r>"));
  const std::string sig = "-[XMLTree addChildNodeWithCDATAToCurrentNodeWithName:stringValue:]:";
  EXPECT_THAT(output, HasSubstr(sig + "CDATA element not added, the value holds \"]]>\": <v><![CDATA[a]]>b]]></v>"));
  EXPECT_THAT(output, HasSubstr(sig + "CDATA element not added, the name is not an XML name: <a b>"));
  EXPECT_THAT(output, HasSubstr(sig + "CDATA element not added, the value holds characters XML cannot carry"));
}

TEST(XMLTreeJumps, OnlyDirectChildrenMatchAndAMissLeavesTheInsertionPoint) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("a", std::string("one"));
  tree.addChildNodeWithCDATAToCurrentNodeWithName("b", std::string("two"));
  tree.addChildNodeToCurrentNodeWithName("c", std::string("two"));
  ASSERT_TRUE(tree.jumpToChildWithName("a"));
  tree.addChildNodeToCurrentNodeWithName("deep", std::string("more"));
  EXPECT_TRUE(tree.jumpToSiblingWithName("a"));  // itself
  ASSERT_TRUE(tree.jumpToParent());
  EXPECT_FALSE(tree.jumpToParent());
  EXPECT_FALSE(tree.jumpToSiblingWithName("r"));
  EXPECT_FALSE(tree.jumpToChildWithName("deep"));
  EXPECT_FALSE(tree.jumpToChildWithName("A"));
  EXPECT_FALSE(tree.jumpToChildWithName(""));
  EXPECT_FALSE(tree.jumpToChildWithStringValue("one"));  // a's whole text is "onemore"
  EXPECT_FALSE(tree.jumpToChildWithAttributeName("ID", "1"));
  EXPECT_FALSE(tree.jumpToChildWithNameAndChildStringValue("a", "one"));
  EXPECT_EQ(tree.currentNode(), tree.rootElement());
  ASSERT_TRUE(tree.jumpToChildWithStringValue("onemore"));
  ASSERT_TRUE(tree.jumpToSiblingWithName("c"));
  tree.addChildNodeToCurrentNodeWithName("in_c", std::nullopt);
  ASSERT_TRUE(tree.jumpToRootNode());
  ASSERT_TRUE(tree.jumpToChildWithStringValue("two"));
  tree.addChildNodeToCurrentNodeWithName("in_b", std::nullopt);
  ASSERT_TRUE(tree.jumpToParent());
  ASSERT_TRUE(tree.jumpToChildWithNameAndChildStringValue("c", "two"));
  tree.addChildNodeToCurrentNodeWithName("in_c_again", std::nullopt);
  EXPECT_EQ(tree.XMLString(), document("<r><a>one<deep>more</deep></a><b><![CDATA[two]]><in_b/></b>"
                                       "<c>two<in_c/><in_c_again/></c></r>"));
}

// Records are entered by their number right after they are added; whatever
// else put a child with that number there first, the first one is entered.
TEST(XMLTreeJumps, ANumberEntersTheFirstChildCarryingIt) {
  auto numbered = [](XMLTree& tree, const char* id) {
    tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", id);
    EXPECT_TRUE(tree.jumpToChildWithAttributeName("ID", id)) << id;
    tree.addChildNodeToCurrentNodeWithName("in", std::string(id));
    tree.jumpToParent();
  };
  XMLTree copied("dtl");
  copied.addAttributeToCurrentNodeWithName("ID", "1");
  const std::vector<std::pair<std::function<void(XMLTree&)>, std::string>> cases{
      {[&](XMLTree& t) {
         for (const char* id : {"0", "1", "2", "10"}) numbered(t, id);
       },
       R"(<dtl ID="0"><in>0</in></dtl><dtl ID="1"><in>1</in></dtl><dtl ID="2"><in>2</in></dtl>)"
       R"(<dtl ID="10"><in>10</in></dtl>)"},
      {[&](XMLTree& t) {  // numbering that starts again lands in the first group
         for (const char* id : {"0", "1", "0", "1"}) numbered(t, id);
       },
       R"(<dtl ID="0"><in>0</in><in>0</in></dtl><dtl ID="1"><in>1</in><in>1</in></dtl><dtl ID="0"/><dtl ID="1"/>)"},
      {[&](XMLTree& t) {
         numbered(t, "0");
         t.addChildTree(copied);
         numbered(t, "1");
       },
       R"(<dtl ID="0"><in>0</in></dtl><dtl ID="1"><in>1</in></dtl><dtl ID="1"/>)"},
      {[&](XMLTree& t) {
         numbered(t, "0");
         t.addChildNodeToCurrentNodeWithName("x", std::nullopt);
         t.jumpToChildWithName("x");
         t.addAttributeToCurrentNodeWithName("ID", "1");
         t.jumpToParent();
         numbered(t, "1");
       },
       R"(<dtl ID="0"><in>0</in></dtl><x ID="1"><in>1</in></x><dtl ID="1"/>)"},
      {[&](XMLTree& t) {
         for (const char* id : {"1", "01", "1"}) numbered(t, id);
       },
       R"(<dtl ID="1"><in>1</in><in>1</in></dtl><dtl ID="01"><in>01</in></dtl><dtl ID="1"/>)"},
  };
  for (const auto& [build, expected] : cases) {
    XMLTree tree("fn");
    build(tree);
    XMLTree copy = tree;  // a copy enters the same children
    copy.jumpToChildWithAttributeName("ID", "1");
    copy.addChildNodeToCurrentNodeWithName("copy", std::nullopt);
    EXPECT_EQ(tree.XMLString(), document("<fn>" + expected + "</fn>"));
    EXPECT_NE(copy.XMLString().find("<copy/>"), std::string::npos);
  }
}

TEST(XMLTreeTrees, AddedTreesAreCopiesAndSiblingsGoNextToTheInsertionPoint) {
  XMLTree report("wpmacasstinfo");
  XMLTree category("fn");
  category.addChildNodeWithCDATAToCurrentNodeWithName("fnname", std::string("m"));
  report.addChildTree(category);
  category.addAttributeToCurrentNodeWithName("late", "1");
  ASSERT_TRUE(report.jumpToChildWithName("fn"));
  report.addSiblingTree(XMLTree("s"));
  report.addChildNodeToCurrentNodeWithName("in_fn", std::nullopt);
  ASSERT_TRUE(report.jumpToRootNode());
  report.addSiblingTree(XMLTree("t"));  // the root has no parent: under the root
  EXPECT_EQ(report.XMLString(),
            document("<wpmacasstinfo><fn><fnname><![CDATA[m]]></fnname><in_fn/></fn><s/><t/></wpmacasstinfo>"));
  XMLTree self("r");
  self.addChildTree(self);
  EXPECT_EQ(self.XMLString(), document("<r><r/></r>"));
}

TEST(XMLTreeTrees, CopiesAndMovesKeepTheirInsertionPoint) {
  XMLTree tree("r");
  tree.addChildNodeToCurrentNodeWithName("a", std::string("t"));
  tree.addChildNodeToCurrentNodeWithName("b", std::nullopt);
  ASSERT_TRUE(tree.jumpToChildWithName("b"));
  XMLTree copy = tree;
  copy.addChildNodeToCurrentNodeWithName("in_copy", std::nullopt);
  tree.addChildNodeToCurrentNodeWithName("in_tree", std::nullopt);
  XMLTree assigned("other");
  assigned = copy;
  XMLTree moved = std::move(copy);
  moved.addChildNodeToCurrentNodeWithName("moved", std::nullopt);
  assigned.addChildNodeToCurrentNodeWithName("assigned", std::nullopt);
  EXPECT_EQ(tree.XMLString(), document("<r><a>t</a><b><in_tree/></b></r>"));
  EXPECT_EQ(moved.XMLString(), document("<r><a>t</a><b><in_copy/><moved/></b></r>"));
  EXPECT_EQ(assigned.XMLString(), document("<r><a>t</a><b><in_copy/><assigned/></b></r>"));
}

TEST(XMLTreeCreation, FromTextKeepsTheRootAndLogsIt) {
  XMLTree tree;
  const std::string text = document("<wpmacsmartsts><dtl><st><![CDATA[Verified & OK]]></st></dtl></wpmacsmartsts>");
  const std::string output = outputOf([&] { tree = XMLTree::initWithXMLString(text); });
  EXPECT_EQ(tree.rootName(), "wpmacsmartsts");
  EXPECT_EQ(tree.XMLString(), text);
  EXPECT_THAT(output, HasSubstr("-[XMLTree initWithXMLString:]:rootElement=<wpmacsmartsts><dtl><st><![CDATA["
                                "Verified & OK]]></st></dtl></wpmacsmartsts>"));
}

TEST(XMLTreeCreation, TextThatDoesNotParseGivesATreeWithoutRoot) {
  using Text = std::optional<std::string>;
  for (const Text& text : {Text(), Text(""), Text("<a><b></a>"), Text("<a/><b/>"), Text("plain words")}) {
    XMLTree tree;
    const std::string output = outputOf([&] {
      tree = XMLTree::initWithXMLString(text);
      tree.addChildNodeToCurrentNodeWithName("a", std::nullopt);
      EXPECT_EQ(tree.XMLStringWithoutRootNode(), "");
    });
    EXPECT_THAT(output, HasSubstr("-[XMLTree initWithXMLString:]:rootElement=(null)")) << text.value_or("(absent)");
    EXPECT_EQ(tree.XMLString(), document(""));
    EXPECT_FALSE(tree.jumpToRootNode());
  }
}

TEST(XMLTreeCreation, ATreeWithoutNameHoldsOnlyAnEmptyCDATANode) {
  XMLTree tree;
  const std::string output = outputOf([&] { tree.addChildNodeToCurrentNodeWithName("a", std::nullopt); });
  EXPECT_EQ(tree.XMLString(), document("<![CDATA[]]>"));
  EXPECT_THAT(output, HasSubstr("nothing appended"));
  EXPECT_TRUE(tree.jumpToRootNode());
}

// The text is cut wherever the root's name occurs, as the category root "fn"
// and its "fnname" child show; a lone ">" piece gets the name back.
TEST(XMLTreeWithoutRoot, TheTextIsCutAtEveryOccurrenceOfTheRootName) {
  XMLTree report("report");
  report.addChildNodeToCurrentNodeWithName("b", std::string("x"));
  XMLTree fn("fn");
  fn.addChildNodeWithCDATAToCurrentNodeWithName("fnname", std::string("m"));
  XMLTree nested("report");  // pieces: "<?xml ...?><", "><", ">", "</", "></", ">"
  nested.addChildNodeToCurrentNodeWithName("report", std::string("report"));
  std::string one, cut, twice;
  const std::string output = outputOf([&] {
    one = report.XMLStringWithoutRootNode();
    cut = fn.XMLStringWithoutRootNode();
    twice = nested.XMLStringWithoutRootNode();
  });
  EXPECT_EQ(one, "<b>x</b>");
  EXPECT_THAT(output, HasSubstr("-[XMLTree XMLStringWithoutRootNode]:xmlWithoutRootTag=<b>x</b>"));
  EXPECT_EQ(cut, "<name><![CDATA[m]]></name>");
  EXPECT_EQ(twice, "<report></>");
  EXPECT_EQ(XMLTree("report").XMLStringWithoutRootNode(), "");  // "<report/>": two pieces
}

}  // namespace
}  // namespace brim
