#pragma once
// What an XML document of the tool may hold, and the text a node is written
// as. Every document is compared byte for byte by the server and by the
// tests, so one writer serves them all: no declaration of pugixml's own, no
// white space added, attributes in the order added.
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace brim {

inline constexpr std::string_view kXmlDeclaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

// A name XML 1.0 (fifth edition) allows for an element or an attribute.
bool isXmlName(std::string_view name);
// Every character one XML 1.0 can carry, the text valid UTF-8.
bool isXmlText(std::string_view text);
// The text with every character XML cannot carry replaced by U+FFFD, so that a
// stray control byte in a profiler value costs one character, not the document.
std::string xmlSafeText(std::string_view text);
// Line ends as an XML reader hands them on: CR LF and a lone CR become LF.
std::string withXmlLineEnds(std::string text);

// The node with all it holds, appended to out.
void appendXmlText(pugi::xml_node node, std::string& out);
std::string xmlText(pugi::xml_node node);

}  // namespace brim
