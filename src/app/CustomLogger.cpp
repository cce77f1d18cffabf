// Placeholder: echoes only. Replaced by the full log.
#include "app/CustomLogger.h"

#include <iostream>

namespace brim {

void CustomLogger::MyCustomLog(const std::string& message) {
  std::cout << message << '\n' << std::flush;
  log(message);
}
void CustomLogger::MyCustomErrorLog(const std::string& message) {
  std::cerr << message << '\n' << std::flush;
  log(message);
}
void CustomLogger::log(const std::string&) {}
std::string CustomLogger::locationPath() { return {}; }
void CustomLogger::clearLog() {}
std::vector<std::string> CustomLogger::getLogArray() { return {}; }

void logAt(const Sig& sig, std::string_view text) {
  std::string message = sig.text();
  message += ':';
  message += text;
  CustomLogger::MyCustomLog(message);
}

}  // namespace brim
