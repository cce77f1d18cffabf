#pragma once
// Named notifications to the processes of every logged-in user, posted to
// all sessions at once, as the agent's listener expects them. Each system's
// source says how they travel.
//
// Posting never blocks and never fails its caller: a listener that went away
// or cannot be reached only means that this post is not heard there. A
// notification carries its name only (no object, no user information), as the
// tool's one notification needs.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace brim {

class DistributedNotification {
 public:
  // Sends name to every listener; returns how many sockets took it.
  static int post(std::string_view name);

  // The listening end: one socket in the directory for as long as it lives.
  class Listener {
   public:
    Listener();
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool listening() const { return socket_.valid(); }
    // The next notification's name, waiting up to `wait`; absent when none came.
    std::optional<std::string> next(std::chrono::milliseconds wait);

   private:
    UniqueFd socket_;
    std::string path_;
  };
};

}  // namespace brim
