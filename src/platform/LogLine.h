#pragma once
// One entry of the log as it is written, from the message it was given. An
// entry is one line of the log files: line breaks and other controls become
// escapes, so that text from a server or a profiler can neither forge entries
// nor drive the terminal of whoever reads them; a URL's user name and password
// become "***"; a line past the limit is cut and says how much was left out.
#include <span>
#include <string>
#include <string_view>

namespace brim {

class LogLine {
 public:
  // A message in pieces, as logAt passes a whole document.
  using Pieces = std::span<const std::string_view>;
  // How a message is shown: the log file keeps it on one line, standard output
  // as it reads (its line breaks and tabs kept), as a person reads it.
  enum class Form { OneLine, Lines };

  // Holds message's pieces themselves when they need no change: a logged
  // document is not copied. message must outlive the line.
  LogLine(Pieces message, Form form);
  LogLine(const LogLine&) = delete;
  LogLine& operator=(const LogLine&) = delete;
  Pieces pieces() const { return pieces_; }

 private:
  std::string rewritten_, cut_;
  std::string_view rewrittenView_, cutView_;
  Pieces pieces_;
};

}  // namespace brim
