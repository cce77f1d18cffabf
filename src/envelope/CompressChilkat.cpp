#include "envelope/CompressChilkat.h"

#include "platform/CustomLogger.h"

namespace brim {

std::optional<std::string> CompressChilkat::compressChilkat(const std::string& text) {
  constexpr auto sig = Sig::instance("CompressChilkat", "compressChilkat:");
  logAt(sig, "Compressed Data");
  logAt(sig, "plain string " + text);
  if (!compresser_.load(text) || !compresser_.zipTree()) return std::nullopt;
  compresser_.declareEncoding();
  const std::string xml = compresser_.text();

  const size_t mark = xml.find("?>");
  if (mark == std::string::npos) {
    logAt(sig, "Error");
    return std::nullopt;
  }
  logAt(sig, "range found");
  // Everything after the declaration, through the root's end tag and the line
  // end after it.
  const size_t from = mark + 2;
  const std::string endTag = "</" + compresser_.rootTag() + ">";
  const size_t endTagAt = xml.rfind(endTag);
  if (endTagAt == std::string::npos || endTagAt < from || endTagAt + endTag.size() + 2 > xml.size()) {
    logAt(sig, "Exception:end tag " + endTag + " not found after the declaration");
    return std::nullopt;
  }
  std::string result = xml.substr(from, endTagAt + endTag.size() + 2 - from);
  logAt(sig, "Result=" + result);
  logAt(sig, "Compressed Data");
  return result;
}

std::string CompressChilkat::deCompressChilkat(const std::string& text) {
  if (!compresser_.load(text)) return {};
  compresser_.unzipContent();
  compresser_.declareEncoding();
  logAt(Sig::instance("CompressChilkat", "deCompressChilkat:"), "chilcat-decompress-stringLoaded");
  return compresser_.text();
}

std::string CompressChilkat::deCompressUnzipContent(const std::string& text) {
  if (!compresser_.load(text) || !compresser_.unzipContent()) return {};
  compresser_.declareEncoding();
  logAt(Sig::instance("CompressChilkat", "deCompressUnzipContent:"), "chilcat - UnzipContent");
  return compresser_.text();
}

}  // namespace brim
