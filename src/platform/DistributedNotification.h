#pragma once
// Named notifications to the processes of every logged-in user.
//
// Linux has no distributed notification centre, so the smallest equivalent is
// kept here: every process that wants to hear notifications binds its own Unix
// datagram socket in one well-known directory (Paths::kNotificationDir, made
// world-writable and sticky like /tmp so that every user's processes can listen),
// and posting sends the name, as one datagram, to every socket found there. So
// one post reaches every listener of every user and session, which is what the
// agent asks for when it posts to all sessions.
//
// Posting never blocks and never fails its caller: a missing directory, a
// listener that went away or a full queue only mean that this post is not
// heard there. A notification carries its name only (no object, no user
// information), as the tool's one notification needs.
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
