#pragma once
// One message as the log and the echo show it: its pieces read as one text,
// the user information of every URL in it written as "***", control
// characters escaped, and a line longer than the limit cut, with a marker
// saying how much was left out. A logged document is read, never copied: an
// entry holds at most one line's worth of text of its own.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace brim {

class LogEntry {
 public:
  // Whole documents are logged, one message a line: a line longer than this is cut.
  static constexpr std::size_t kLineLimit = std::size_t{4} << 20;

  // The log file keeps a message on one line (line breaks escaped, a
  // backslash doubled, so that the entry reads back as exactly the text it
  // was); standard output shows it as it reads, its line breaks kept.
  enum class Form { OneLine, Lines };

  LogEntry(std::span<const std::string_view> message, Form form);
  LogEntry(const LogEntry&) = delete;
  LogEntry& operator=(const LogEntry&) = delete;

  // The entry's text: the message's own pieces when they needed no change.
  std::span<const std::string_view> pieces() const { return pieces_; }

 private:
  std::string text_;
  std::string_view textView_;
  std::span<const std::string_view> pieces_;
};

}  // namespace brim
