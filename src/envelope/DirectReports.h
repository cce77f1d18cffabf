#pragma once
// The documents' names and the direct reports' element lists, each declared
// once: the tool builds every direct report from its declaration here, and
// brim_inspect checks and describes the documents from the same lines. They sit
// beside the tree builder because the collectors and the process sampler, which
// the orchestrator builds on, name documents too.
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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
  Value,    // free text in a CDATA section (elements only)
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
    {"modelname", ReportText::Value}, {"modeldesc", ReportText::Value},
    {"bsdname", ReportText::Value},   {"status", ReportText::Value},
};
inline constexpr DirectReport kSmartStatusReport{"SMART status", "wpmacsmartsts", true, kSmartStatusElements};

inline constexpr ReportItem kMachineDetailsElements[] = {
    {"regid", ReportText::Integer},
    {"resourcename", ReportText::Value},
    {"os", ReportText::Value},
    {"osversion", ReportText::Value},
    {"ip", ReportText::Value, {}, "IPv4 addresses, one a line; empty when none"},
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

// The report's tree: its root, then each declared element with the value at
// the same place in values (CDATA for a Value element, plain text otherwise).
XMLTree reportTree(const DirectReport& report, std::initializer_list<std::optional<std::string>> values);
// One entry: each declared attribute with the value at the same place in values.
XMLTree entryTree(const DirectReport& report, std::initializer_list<std::string_view> values);

}  // namespace brim
