#include "envelope/CompressChilkat.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "envelope/Base64.h"
#include "envelope/EnvelopeDocument.h"
#include "envelope/RawDeflate.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

const std::string kFixtures = std::string(BRIM_TEST_FIXTURES) + "/envelope/";

// What a receiving server does: Base64-decode the CDATA text and inflate it,
// with python's zlib rather than ours.
std::string inflateLikeTheServer(const std::string& base64Lines) {
  return shellOutput(
      "python3 -c 'import sys, zlib, base64; "
      "sys.stdout.buffer.write(zlib.decompress(base64.b64decode(sys.stdin.buffer.read()), -15))'",
      base64Lines);
}

struct Envelope {
  std::string startTag, base64, endTag;
};

// Splits "\r\n<root ...><![CDATA[B]]></root>\r\n" into its pieces.
std::optional<Envelope> splitEnvelope(const std::string& result) {
  const size_t open = result.find("<![CDATA[");
  const size_t close = result.rfind("]]>");
  if (result.rfind("\r\n", 0) != 0 || open == std::string::npos || close == std::string::npos) return std::nullopt;
  return Envelope{result.substr(2, open - 2), result.substr(open + 9, close - open - 9), result.substr(close + 3)};
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  EXPECT_EQ(at, text.size()) << "text after the last CR LF";
  return lines;
}

// Base64 lines of exactly 76 characters (57 deflated bytes), each closed by
// CR LF, then the shorter rest: an empty line when the bytes fill whole lines.
void expectLinesOf76(const std::string& base64) {
  const auto deflated = decodeBase64(base64);
  ASSERT_TRUE(deflated.has_value());
  const auto lines = linesOf(base64);
  ASSERT_EQ(lines.size(), deflated->size() / 57 + 1);
  for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].size(), 76u) << "line " << i;
  EXPECT_EQ(lines.back().size(), (deflated->size() % 57 + 2) / 3 * 4);
}

// Ordinary text trimmed, the five entities escaped (but "&#" and a digit or
// "x" in attributes), CDATA kept, empty elements closed, "standalone" last.
TEST(EnvelopeDocumentText, TrimmingEscapingAndEmptyElements) {
  EnvelopeDocument document;
  ASSERT_TRUE(document.load(readFile(kFixtures + "escaping.xml")));
  EXPECT_EQ(document.text(), readFile(kFixtures + "escaping.envelope.txt"));
}

// A line end, the root's start tag (no declaration), Base64 lines of exactly
// 76 characters (the last one shorter) in a CDATA section, the end tag and a
// line end; the server inflates it to the document's text form byte for byte,
// and decompressing gives that text back under the declaration the output
// form always writes. The machine-details and SMART-status reports are posted
// in the same envelope, with their own root and its attributes.
// Without declaration the text form opens with a line end. Pieces of CDATA
// that spell out "]]>" between them cannot go into one section as they are:
// the markers are dropped.
TEST(CompressChilkat, DocumentsInflateBackToTheirTextFormByteForByte) {
  auto cases = fixtureCases("envelope/compressed.cases", 4);
  cases.push_back({readFile(kFixtures + "wpmacasstinfo_mac-a.xml"), "<wpmacasstinfo>", "</wpmacasstinfo>\r\n",
                   readFile(kFixtures + "wpmacasstinfo_mac-a.envelope.txt")});
  for (const auto& c : cases) {
    const std::string &document = c[0], &startTag = c[1], &endTag = c[2], &text = c[3];
    CompressChilkat compressor;
    const auto result = compressor.compressChilkat(document);
    ASSERT_TRUE(result.has_value());
    const auto envelope = splitEnvelope(*result);
    ASSERT_TRUE(envelope.has_value());
    EXPECT_EQ(envelope->startTag, startTag);
    EXPECT_EQ(envelope->endTag, endTag);
    expectLinesOf76(envelope->base64);
    EXPECT_EQ(inflateLikeTheServer(envelope->base64), text);

    const std::string restored = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>" +
                                 (text.starts_with("<?xml") ? text.substr(text.find("?>") + 2) : text);
    EXPECT_EQ(compressor.deCompressChilkat(*result), restored);
    EXPECT_EQ(compressor.deCompressUnzipContent(*result), restored);
    EXPECT_TRUE(compressor.compresser().errorLog().empty());
  }
}

// When the deflated bytes fill whole lines, the closing line end leaves an
// empty line behind the last full one.
TEST(CompressChilkat, DeflatedLengthOfWholeLinesEndsWithAnEmptyLine) {
  // Letters in no order: each added one grows the deflated bytes by less than
  // one, so some length lands on a multiple of 57.
  std::string noise;
  unsigned state = 12345;
  for (int i = 0; i < 400; ++i) {
    state = state * 1103515245u + 12345u;
    noise += static_cast<char>('a' + (state >> 16) % 26);
  }
  CompressChilkat compressor;  // one instance, reloaded by every call
  for (size_t length = 200; length <= noise.size(); ++length) {
    const std::string document = "<wpmacasstinfo><n>" + noise.substr(0, length) + "</n></wpmacasstinfo>";
    const auto envelope = splitEnvelope(compressor.compressChilkat(document).value_or(""));
    ASSERT_TRUE(envelope.has_value());
    if (decodeBase64(envelope->base64).value_or("x").size() % 57 != 0) continue;
    expectLinesOf76(envelope->base64);
    EXPECT_EQ(linesOf(envelope->base64).back(), "");
    return;
  }
  FAIL() << "no document deflated to a multiple of 57 bytes";
}

TEST(CompressChilkat, TextThatIsNotOneXmlDocumentGivesNothing) {
  for (const std::string text : {"", "plain text, no markup", "<a><b></a>", "<a/><b/>", "text before <a/>",
                                 "<a/><?xml version=\"1.0\"?>", "<?xml version='1\"0'?><a/>"}) {
    CompressChilkat compressor;
    const std::string logged = stdoutOf([&] { EXPECT_FALSE(compressor.compressChilkat(text).has_value()) << text; });
    EXPECT_NE(logged.find("-[CompressChilkat compressChilkat:]:plain string " + text), std::string::npos);
    EXPECT_EQ(logged.find("range found"), std::string::npos) << logged;
    ASSERT_FALSE(compressor.compresser().errorLog().empty());
    EXPECT_EQ(compressor.compresser().errorLog().back().rfind("Failed to parse XML: ", 0), 0u);
  }
}

// Depth costs heap, not stack: a document nested far deeper than any report
// still goes through and comes back whole, indented up to fifty levels.
TEST(CompressChilkat, DeeplyNestedDocumentGoesThroughAndBack) {
  constexpr int kDepth = 20000;
  std::string document;
  for (int i = 0; i < kDepth; ++i) document += "<e>";
  document += "x";
  for (int i = 0; i < kDepth; ++i) document += "</e>";

  std::string restored;
  stdoutOf([&] {
    restored = CompressChilkat().deCompressUnzipContent(CompressChilkat().compressChilkat(document).value_or(""));
  });

  const auto lines = linesOf(restored);
  ASSERT_EQ(lines.size(), 1u + 2 * kDepth - 1);
  EXPECT_EQ(lines[50], std::string(4 * 49, ' ') + "<e>");
  EXPECT_EQ(lines[51], std::string(4 * 50, ' ') + "<e>");
  EXPECT_EQ(lines[kDepth], std::string(4 * 50, ' ') + "<e>x</e>");
  EXPECT_EQ(lines[kDepth + 1], std::string(4 * 50, ' ') + "</e>");
  EXPECT_EQ(lines.back(), "</e>");
}

TEST(CompressChilkat, DecompressingContentThatDoesNotRestore) {
  // The content of the CDATA section, and the first error logged.
  const std::pair<std::string, std::string> cases[] = {
      {"not base64 at all!", "Failed to decode base64 data"},
      {encodeBase64("these bytes are no deflate stream"), "Failed to inflate data"},
      {encodeBase64(rawDeflate("<a><b></a>").value_or("")), "Failed to parse unzipped XML"},
      {encodeBase64(rawDeflate("<a>x</a>").value_or("").substr(0, 3)), "Failed to inflate data"},
  };
  for (const auto& [content, error] : cases) {
    const std::string element = "<wpmacsmartsts id=\"1\"><![CDATA[" + content + "]]></wpmacsmartsts>";
    CompressChilkat compressor;
    // The plain inverse still hands back the document as it was loaded.
    EXPECT_EQ(compressor.deCompressChilkat(element),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n" + element + "\r\n");
    EXPECT_EQ(compressor.deCompressUnzipContent(element), "");
    ASSERT_EQ(compressor.compresser().errorLog().size(), 2u) << error;
    EXPECT_EQ(compressor.compresser().errorLog()[0], error);
  }
  CompressChilkat compressor;
  EXPECT_EQ(compressor.deCompressChilkat("no xml"), "");
  EXPECT_EQ(compressor.deCompressUnzipContent("no xml"), "");
}

}  // namespace
}  // namespace brim::test
