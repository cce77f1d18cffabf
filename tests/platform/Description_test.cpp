#include "platform/Description.h"

#include <gtest/gtest.h>

#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim {
namespace {

std::string inPlist(const std::string& body) {
  return R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)" + body + "</plist>";
}

Plist plistFromXml(const std::string& body) {
  const std::string text = inPlist(body);
  Plist node = parsePlist(text);
  EXPECT_TRUE(node) << text;
  return node;
}

// Argument lists, as the wrong-parameter line shows them, are shown by the
// entry point's runs; strings in them are quoted as these are.
TEST(DescriptionString, LettersDigitsUnderscoreDollarAndDotStayBare) {
  for (const auto& c : test::fixtureCases("platform/described-strings.cases", 2)) EXPECT_EQ(describeString(c[0]), c[1]);
}

TEST(DescriptionPlist, CollectionsInsideCollectionsIndentFurther) {
  const Plist nested = plistFromXml(
      "<array><array><integer>1</integer><string>a b</string></array>"
      "<dict><key>k</key><array/><key>e</key><dict/></dict><array/><true/></array>");
  EXPECT_EQ(describe(nested.get()) + "\n", test::readFile(test::fixture("platform/nested.description.txt")));
  EXPECT_EQ(describe(plistFromXml("<dict/>").get()), "{\n}");
  EXPECT_EQ(describe(plistFromXml("<array/>").get()), "(\n)");

  // A recorded battery record: nested dictionaries, keys with spaces and
  // underscores, a negative number; keys listed in order, nested collections
  // opening after the platform's extra indentation.
  const Plist list = readPlistFile(test::testData("mac-a/SPPowerDataType.xml"));
  plist_t battery = plist_array_get_item(plistDictItem(plist_array_get_item(list.get(), 0), "_items"), 0);
  ASSERT_TRUE(battery);
  EXPECT_EQ(describe(battery) + "\n", test::readFile(test::fixture("platform/battery.description.txt")));
}

// Each scalar alone, as a plist body, and then all of them inside one list.
TEST(DescriptionPlist, ScalarsOnTheirOwnAndInsideAList) {
  std::string items, listed;
  for (const auto& c : test::fixtureCases("platform/described-scalars.cases", 2)) {
    EXPECT_EQ(describe(plistFromXml(c[0]).get()), c[1]) << c[0];
    items += c[0];
    listed += (listed.empty() ? "(\n    " : ",\n    ") + c[1];
  }
  EXPECT_EQ(describe(plistFromXml("<array>" + items + "</array>").get()), listed + "\n)");
  EXPECT_EQ(describe(nullptr), "(null)");
  EXPECT_EQ(describe(plistFromXml(std::string("<array><string>a\0b</string></array>", 35)).get()),
            "(\n    a\n)");                             // a NUL ends the string
  const Plist beforeEpoch(plist_new_date(-2, 500000));  // 1.5 s before 2001-01-01 rounds down
  EXPECT_EQ(describe(beforeEpoch.get()), "2000-12-31 23:59:58 +0000");
}

// A binary property list of levels arrays, each holding the one before it width
// times, around the integer 1; offsets and references four bytes wide.
std::string binaryArrays(uint32_t levels, uint32_t width) {
  auto bigEndian = [](std::string& to, uint64_t value, int bytes) {
    while (bytes--) to += static_cast<char>(value >> (8 * bytes));
  };
  std::string out = "bplist00\x10\x01", table;
  bigEndian(table, 8, 4);
  for (uint32_t i = 1; i <= levels; ++i) {
    bigEndian(table, out.size(), 4);
    out += static_cast<char>(0xA0 | width);
    for (uint32_t j = 0; j < width; ++j) bigEndian(out, i - 1, 4);
  }
  const uint64_t tableAt = out.size();
  out += table + std::string(6, '\0') + "\x04\x04";
  for (uint64_t value : {uint64_t{levels} + 1, uint64_t{levels}, tableAt}) bigEndian(out, value, 8);
  return out;
}

std::string repeated(std::string_view piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// Nesting up to 256 levels reads, deeper is refused before the parser sees it,
// however the tags are hidden or the binary form shares its arrays.
TEST(PlistLimits, NestingBeyondTheLimitIsRefused) {
  using namespace std::string_literals;
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(readPlistFile(test::testData("mac-a/SPPowerDataType.xml")).get(), &bytes, &length);
  const std::string recordedBinary(bytes, length);
  plist_to_bin_free(bytes);
  const std::pair<std::string, bool> cases[] = {
      {inPlist(test::nestedArrays(256)), true},
      {inPlist(test::nestedArrays(257)), false},
      {inPlist(test::nestedArrays(200000)), false},
      {inPlist("<array><dict><key>a</key>" + test::nestedArrays(254, "<dict/>") + "</dict></array>"), false},
      // Tags in comments and CDATA are no tags; closing ones there hide nothing.
      {inPlist("<array><!-- " + test::nestedArrays(300) + " --><string><![CDATA[" + test::nestedArrays(300) +
               "]]></string></array>"),
       true},
      {inPlist("<array><string><![CDATA[" + std::string(300 * 8, ' ').replace(0, 8, "</array>") + "]]></string>" +
               test::nestedArrays(256) + "</array>"),
       false},
      {"<!DOCTYPE plist [ <!ENTITY a \"b\"> ]>" + inPlist("<array/>"), false},
      // The library's name ends at a NUL: each of these opens an array.
      {inPlist(repeated("<array\0>"s, 400000)), false},
      {inPlist(repeated("<array\0x>"s, 300)), false},
      // A quote that moves where a tag ends for one reader and not the other.
      {inPlist("<array a=\"<array>\"></array>"), false},
      {inPlist("<array a=\"1\" ><string>x</string><dict b=\"x\"/></array >"), true},
      {inPlist("<array/>" + test::nestedArrays(256)), false},  // an empty root takes what follows as items
      {recordedBinary, true},
      {binaryArrays(257, 1), false},
      {binaryArrays(40, 2), false},  // each array twice in the next: 2^40 values once copied
  };
  for (const auto& [text, reads] : cases) {
    bool read = false;
    const std::string log = test::stdoutOf([&] { read = parsePlist(text) != nullptr; });
    EXPECT_EQ(read, reads) << text.substr(0, 200);
    EXPECT_EQ(log.find("parsePlist:property list not read: nested deeper than 256 levels") == 0, !reads) << log;
  }
}

}  // namespace
}  // namespace brim
