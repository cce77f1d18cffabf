#include "envelope/XMLTree.h"

#include <gmock/gmock.h>

#include <sstream>

#include "support/Sandbox.h"

namespace brim {
namespace {

using test::stdoutOf;
using ::testing::HasSubstr;

std::string document(const std::string& body) { return R"(<?xml version="1.0" encoding="UTF-8"?>)" + body; }

// The document on one line; attributes in the order added and escaped; a
// repeated attribute or one whose name XML cannot carry is refused and logged.
TEST(XMLTreeDocument, OneLineWithAttributesInOrder) {
  XMLTree tree("fn");
  tree.addAttributeToCurrentNodeWithName("z", "1");
  tree.addAttributeToCurrentNodeWithName("a", "say \"hi\" & <go>\n");
  const std::string output = stdoutOf([&] {
    tree.addAttributeToCurrentNodeWithName("z", "2");
    tree.addChildNodeToCurrentNodeWithName("ok", std::nullopt, "bad name", "1");
  });
  tree.addChildNodeToCurrentNodeWithName("empty", std::nullopt);
  tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", "1");
  EXPECT_EQ(tree.XMLString(),
            document("<fn z=\"1\" a=\"say &quot;hi&quot; &amp; &lt;go>&#10;\"><empty/><dtl ID=\"1\"/></fn>"));
  EXPECT_EQ(tree.toNSData(), tree.XMLString());
  EXPECT_THAT(output, HasSubstr("addAttributeToCurrentNodeWithName:stringValue:]:attribute z not added"));
  EXPECT_THAT(output, HasSubstr("attribute not added: \"bad name\" is not an XML name"));
}

// One element added under the root, as text or as CDATA: how its value is
// written, what XML cannot carry replaced (logged), a name it cannot carry
// refused, leaving the tree as it was (logged). Recorded multi-line texts holding
// "&" (application "info") are shown whole by the recorded-Mac tests.
TEST(XMLTreeDocument, AnElementAsWrittenReplacedOrRefused) {
  for (const auto& c : test::fixtureCases("envelope/added-elements.cases", 5)) {
    const std::string &name = c[1], &written = c[3];
    const std::optional<std::string> value = c[2] == "(null)" ? std::nullopt : std::optional(c[2]);
    XMLTree tree("r");
    const std::string output = stdoutOf([&] {
      if (c[0] == "CDATA") {
        tree.addChildNodeWithCDATAToCurrentNodeWithName(name, value);
      } else {
        tree.addChildNodeToCurrentNodeWithName(name, value);
      }
    });
    EXPECT_EQ(tree.XMLString(), document(written.empty() ? "<r/>" : "<r>" + written + "</r>")) << name;
    const std::string method =
        c[0] == "CDATA" ? "addChildNodeWithCDATAToCurrentNodeWithName" : "addChildNodeToCurrentNodeWithName";
    EXPECT_THAT(output, HasSubstr(c[4].empty() ? "" : "-[XMLTree " + method + ":stringValue:]:" + c[4])) << name;
  }
}

TEST(XMLTreeJumps, OnlyDirectChildrenMatchAndAMissLeavesTheInsertionPoint) {
  XMLTree tree = XMLTree::initWithXMLString(document("<r><a>one</a><b><![CDATA[two]]></b><c>two</c></r>"));
  ASSERT_TRUE(tree.jumpToChildWithName("a"));
  tree.addChildNodeToCurrentNodeWithName("deep", std::string("more"));
  EXPECT_TRUE(tree.jumpToSiblingWithName("a"));  // itself
  ASSERT_TRUE(tree.jumpToParent());
  EXPECT_FALSE(tree.jumpToParent());
  EXPECT_FALSE(tree.jumpToSiblingWithName("r"));
  for (const char* name : {"deep", "A", ""}) EXPECT_FALSE(tree.jumpToChildWithName(name)) << name;
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
  XMLTree copied("dtl");
  copied.addAttributeToCurrentNodeWithName("ID", "1");
  for (const auto& c : test::fixtureCases("envelope/numbered-records.cases", 2)) {
    XMLTree tree("fn");
    std::istringstream steps(c[0]);
    for (std::string step; steps >> step;) {
      if (step == "tree") {
        tree.addChildTree(copied);
      } else if (step == "x") {
        tree.addChildNodeToCurrentNodeWithName("x", std::nullopt);
        tree.jumpToChildWithName("x");
        tree.addAttributeToCurrentNodeWithName("ID", "1");
        tree.jumpToParent();
      } else {
        tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", step);
        EXPECT_TRUE(tree.jumpToChildWithAttributeName("ID", step)) << step;
        tree.addChildNodeToCurrentNodeWithName("in", step);
        tree.jumpToParent();
      }
    }
    XMLTree copy = tree;  // a copy enters the same children
    copy.jumpToChildWithAttributeName("ID", "1");
    copy.addChildNodeToCurrentNodeWithName("copy", std::nullopt);
    EXPECT_EQ(tree.XMLString(), document("<fn>" + c[1] + "</fn>"));
    EXPECT_NE(copy.XMLString().find("<in>1</in><copy/>"), std::string::npos) << copy.XMLString();
  }
}

// Added trees and copies are copies; a copy (copying is assigning) keeps the
// insertion point; a sibling goes next to the insertion point, or under the
// root, which has no parent.
TEST(XMLTreeTrees, AddedTreesAndCopiesAreCopiesAndSiblingsGoNextToTheInsertionPoint) {
  XMLTree report("wpmacasstinfo");
  XMLTree category("fn");
  category.addChildNodeWithCDATAToCurrentNodeWithName("fnname", std::string("m"));
  report.addChildTree(category);
  category.addAttributeToCurrentNodeWithName("late", "1");
  ASSERT_TRUE(report.jumpToChildWithName("fn"));
  XMLTree copy = report;
  copy.addChildNodeToCurrentNodeWithName("in_copy", std::nullopt);
  report.addSiblingTree(XMLTree("s"));
  report.addChildNodeToCurrentNodeWithName("in_fn", std::nullopt);
  ASSERT_TRUE(report.jumpToRootNode());
  report.addSiblingTree(XMLTree("t"));
  EXPECT_EQ(report.XMLString(),
            document("<wpmacasstinfo><fn><fnname><![CDATA[m]]></fnname><in_fn/></fn><s/><t/></wpmacasstinfo>"));
  EXPECT_EQ(copy.XMLString(),
            document("<wpmacasstinfo><fn><fnname><![CDATA[m]]></fnname><in_copy/></fn></wpmacasstinfo>"));
  XMLTree self("r");
  self.addChildTree(self);
  EXPECT_EQ(self.XMLString(), document("<r><r/></r>"));
}

// A moved tree keeps its place: "tree = initWithXMLString(...)" moves. Text
// that parses keeps its root; any other gives a tree without root, to which
// nothing is added; a tree made without a name holds an empty CDATA node.
TEST(XMLTreeCreation, FromTextKeepsTheRootAndLogsIt) {
  using Text = std::optional<std::string>;
  const std::string smart = "<wpmacsmartsts><dtl><st><![CDATA[Verified & OK]]></st></dtl></wpmacsmartsts>";
  for (const Text& text : {Text(document(smart)), Text(), Text(""), Text("<a><b></a>"), Text("<a/><b/>"), Text("x")}) {
    XMLTree tree("old");
    const std::string output = stdoutOf([&] {
      tree = XMLTree::initWithXMLString(text);
      tree.addChildNodeToCurrentNodeWithName("added", std::nullopt);
    });
    const bool parsed = text && *text == document(smart);
    EXPECT_THAT(output, HasSubstr("-[XMLTree initWithXMLString:]:rootElement=" + (parsed ? smart : "(null)")));
    EXPECT_EQ(tree.XMLString(), parsed ? document("<wpmacsmartsts><dtl><st><![CDATA[Verified & OK]]></st></dtl>"
                                                  "<added/></wpmacsmartsts>")
                                       : document(""));
    EXPECT_EQ(tree.jumpToRootNode(), parsed);
  }
  XMLTree unnamed;
  const std::string output = stdoutOf([&] { unnamed.addChildNodeToCurrentNodeWithName("a", std::nullopt); });
  EXPECT_EQ(unnamed.XMLString(), document("<![CDATA[]]>"));
  EXPECT_THAT(output, HasSubstr("nothing appended"));
  EXPECT_TRUE(unnamed.jumpToRootNode());
}

TEST(XMLTreeWithoutRoot, TheTextIsCutAtEveryOccurrenceOfTheRootName) {
  for (const auto& c : test::fixtureCases("envelope/without-root.cases", 2)) {
    const XMLTree tree = XMLTree::initWithXMLString(document(c[0]));
    const std::string output = stdoutOf([&] { EXPECT_EQ(tree.XMLStringWithoutRootNode(), c[1]) << c[0]; });
    EXPECT_THAT(output, HasSubstr("-[XMLTree XMLStringWithoutRootNode]:xmlWithoutRootTag=" + c[1]));
  }
}

}  // namespace
}  // namespace brim
