#pragma once
// The documents' names and the direct reports' element lists, each declared
// once: the tool builds every direct report from its declaration here, and
// brim_inspect checks and describes the documents from the same lines. They sit
// beside the tree builder because the collectors and the process sampler, which
// the orchestrator builds on, name documents too.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "envelope/XMLTree.h"

namespace brim {

// The two inventory documents share their root; their "type" and the prefix
// of their data-post files tell them apart.
inline constexpr std::string_view kInventoryRoot = "wpmacasstinfo";
inline constexpr std::string_view kHardwareInventoryType = "assetdata";
inline constexpr std::string_view kHardwareInventoryPrefix = kInventoryRoot;
inline constexpr std::string_view kSoftwareInventoryType = "software";
inline constexpr std::string_view kSoftwareInventoryPrefix = "wpmacasstswinfo";

// The times the documents carry: the inventories' scan time and the process
// report's span in one form, the SMART status report's scan time in its own.
// The process store keeps its samples' times in the report's form, so that the
// oldest one is the report's start as it stands.
inline constexpr std::string_view kReportTimeFormat = "MM/dd/yyyy HH:mm:ss";
inline constexpr std::string_view kSmartStatusTimeFormat = "MM-dd-yyyy HH:mm:ss";

// What an element's or attribute's text is.
enum class ReportText {
  Integer,  // a whole number in decimal
  Decimal,  // a share in percent with decimals
  Date,     // a time in the item's format
  Text,     // free text, as it stands
  Cdata,    // free text in a CDATA section (elements only)
};

struct ReportItem {
  std::string_view name;
  ReportText text;
  std::string_view format = {};  // Date: the pattern it is written with
  std::string_view note = {};    // what it holds, where the name does not say
};

struct DirectReport {
  std::string_view title;  // how brim_inspect names the document
  std::string_view root;
  bool posted;                           // also sent straight to the server, not only written as a data-post file
  std::span<const ReportItem> elements;  // the root's children, in order
  // The element written once per entry after them, with its attributes in
  // order and no content; empty when the report has no entries.
  std::string_view entry = {};
  std::span<const ReportItem> entryAttributes = {};
  std::string_view entryNote = {};

  // A posted report goes to the web post of its root's name; empty when it is not posted.
  constexpr std::string_view webPost() const { return posted ? root : std::string_view(); }
  // Its data-post files are named after its root.
  constexpr std::string_view dataPostPrefix() const { return root; }
};

inline constexpr ReportItem kSmartStatusElements[] = {
    {"regid", ReportText::Integer},   {"scandttime", ReportText::Date, kSmartStatusTimeFormat},
    {"modelname", ReportText::Cdata}, {"modeldesc", ReportText::Cdata},
    {"bsdname", ReportText::Cdata},   {"status", ReportText::Cdata},
};
inline constexpr DirectReport kSmartStatusReport{"SMART status", "wpmacsmartsts", true, kSmartStatusElements};

inline constexpr ReportItem kMachineDetailsElements[] = {
    {"regid", ReportText::Integer},
    {"resourcename", ReportText::Cdata},
    {"os", ReportText::Cdata},
    {"osversion", ReportText::Cdata},
    {"ip", ReportText::Cdata, {}, "IPv4 addresses, one a line; empty when none"},
};
inline constexpr DirectReport kMachineDetailsReport{"Machine details", "wpmacupdsysdtl", true, kMachineDetailsElements};

inline constexpr ReportItem kProcessElements[] = {
    {"regid", ReportText::Integer},
    {"ftime", ReportText::Date, kReportTimeFormat},
    {"ttime", ReportText::Date, kReportTimeFormat},
};
inline constexpr ReportItem kProcessAttributes[] = {
    {"name", ReportText::Text},
    {"mem", ReportText::Decimal},
    {"cpu", ReportText::Decimal},
};
inline constexpr DirectReport kProcessReport{"Top processes", "wpmacpradatahr",   false,        kProcessElements,
                                             "prs",           kProcessAttributes, "one process"};

inline constexpr const DirectReport* kDirectReports[] = {&kSmartStatusReport, &kMachineDetailsReport, &kProcessReport};

// A report's values are given by name: element<"regid">(text) for an
// element, attribute<"mem">(text) for an entry's attribute. The names are
// checked against the declaration when the call is compiled: a report with an
// element missing, unknown or given twice does not build.
template <std::size_t N>
struct ItemName {
  char text[N] = {};
  consteval ItemName(const char (&name)[N]) {  // NOLINT(google-explicit-constructor)
    for (std::size_t i = 0; i < N; ++i) text[i] = name[i];
  }
  constexpr std::string_view view() const { return {text, N - 1}; }
};

template <ItemName Name>
struct ElementValue {
  std::optional<std::string> value;
};
template <ItemName Name>
struct AttributeValue {
  std::string_view value;
};

template <ItemName Name>
ElementValue<Name> element(std::optional<std::string> value) {
  return {std::move(value)};
}
template <ItemName Name>
AttributeValue<Name> attribute(std::string_view value) {
  return {value};
}

// Every declared item is named exactly once, and nothing else is.
template <std::size_t N>
consteval bool namesEachItemOnce(std::span<const ReportItem> declared, const std::array<std::string_view, N>& names) {
  if (declared.size() != N) return false;
  for (const ReportItem& item : declared) {
    std::size_t times = 0;
    for (std::string_view name : names) times += name == item.name ? 1 : 0;
    if (times != 1) return false;
  }
  return true;
}

template <const DirectReport& Report, ItemName... Names>
concept FillsEveryElement = namesEachItemOnce(Report.elements,
                                              std::array<std::string_view, sizeof...(Names)>{Names.view()...});
template <const DirectReport& Report, ItemName... Names>
concept FillsEveryAttribute = namesEachItemOnce(Report.entryAttributes,
                                                std::array<std::string_view, sizeof...(Names)>{Names.view()...});

namespace detail {
void addElement(XMLTree& tree, const ReportItem& element, const std::optional<std::string>& value);
// Where name is among names; names holds it (the callers' constraints say so).
std::size_t placeOf(std::span<const std::string_view> names, std::string_view name);
}  // namespace detail

// The report's tree: its root, then each declared element, in the
// declaration's order, with its value (CDATA for a Cdata element, plain text
// otherwise).
template <const DirectReport& Report, ItemName... Names>
requires FillsEveryElement<Report, Names...> XMLTree reportTree(const ElementValue<Names>&... values) {
  const std::array<std::string_view, sizeof...(Names)> names{Names.view()...};
  const std::array<const std::optional<std::string>*, sizeof...(Names)> given{&values.value...};
  XMLTree tree(Report.root);
  for (const ReportItem& element : Report.elements) {
    detail::addElement(tree, element, *given[detail::placeOf(names, element.name)]);
  }
  return tree;
}

// One entry: each declared attribute, in the declaration's order, with its value.
template <const DirectReport& Report, ItemName... Names>
requires FillsEveryAttribute<Report, Names...> XMLTree entryTree(const AttributeValue<Names>&... values) {
  const std::array<std::string_view, sizeof...(Names)> names{Names.view()...};
  const std::array<std::string_view, sizeof...(Names)> given{values.value...};
  XMLTree tree(Report.entry);
  for (const ReportItem& attribute : Report.entryAttributes) {
    tree.addAttributeToCurrentNodeWithName(attribute.name, given[detail::placeOf(names, attribute.name)]);
  }
  return tree;
}

}  // namespace brim
