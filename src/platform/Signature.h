#pragma once
// The signature text that opens every log message: "%s:" filled with the
// name of the operation that logs, formed in one place here.
//   Sig::instance("ConsolidatedAssets", "init")   -> "-[ConsolidatedAssets init]"
//   Sig::classLevel("ReadNSPipe", "availableDataOrError:") -> "+[ReadNSPipe availableDataOrError:]"
//   Sig::function("int main(int, const char **)") -> "int main(int, const char **)"
#include <string>
#include <string_view>

namespace brim {

class Sig {
 public:
  static constexpr Sig instance(std::string_view cls, std::string_view selector) { return Sig('-', cls, selector); }
  static constexpr Sig classLevel(std::string_view cls, std::string_view selector) { return Sig('+', cls, selector); }
  static constexpr Sig function(std::string_view text) { return Sig(0, text, {}); }

  std::string text() const {
    if (kind_ == 0) return std::string(cls_);
    std::string out;
    out.reserve(cls_.size() + selector_.size() + 4);
    out += kind_;
    out += '[';
    out += cls_;
    out += ' ';
    out += selector_;
    out += ']';
    return out;
  }

 private:
  constexpr Sig(char kind, std::string_view cls, std::string_view selector)
      : kind_(kind), cls_(cls), selector_(selector) {}
  char kind_;
  std::string_view cls_;
  std::string_view selector_;
};

}  // namespace brim
