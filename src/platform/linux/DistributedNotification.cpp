#include "platform/DistributedNotification.h"

// Linux has no distributed notification centre, so the smallest equivalent is
// kept here: every process that wants to hear notifications binds its own Unix
// datagram socket in one well-known directory (Paths::kNotificationDir, made
// world-writable and sticky like /tmp so that every user's processes can listen),
// and posting sends the name, as one datagram, to every socket found there. So
// one post reaches every listener of every user and session. A missing
// directory or a full queue only mean that this post is not heard there.

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace brim {
namespace {

bool toAddress(const std::string& path, sockaddr_un& address) {
  if (path.size() >= sizeof address.sun_path) return false;
  address = {};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

int DistributedNotification::post(std::string_view name) {
  const std::string dir = Paths::fixed(Paths::kNotificationDir);
  std::unique_ptr<DIR, DirCloser> listing(::opendir(dir.c_str()));
  if (!listing) return 0;
  const UniqueFd sender(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!sender.valid()) return 0;

  int reached = 0;
  while (const dirent* entry = ::readdir(listing.get())) {
    if (entry->d_type != DT_SOCK && entry->d_type != DT_UNKNOWN) continue;
    sockaddr_un address;
    if (!toAddress(dir + "/" + entry->d_name, address)) continue;
    const ssize_t sent = ::sendto(sender.get(), name.data(), name.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent == static_cast<ssize_t>(name.size())) ++reached;
  }
  return reached;
}

DistributedNotification::Listener::Listener() {
  static std::atomic<int> counter{0};
  const std::string dir = Paths::fixed(Paths::kNotificationDir);
  if (!FileSystem::exists(dir)) {
    // Without the folder nobody can be notified: a sender finds no listener either.
    std::string unasked;
    if (!FileSystem::makeDirectories(dir, unasked)) return;
    ::chmod(dir.c_str(), 01777);
  }
  path_ = dir + "/" + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".sock";
  sockaddr_un address;
  if (!toAddress(path_, address)) return;
  UniqueFd bound(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!bound.valid()) return;
  ::unlink(path_.c_str());  // left by a listener of the same pid that died
  if (::bind(bound.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return;
  ::chmod(path_.c_str(), 0666);  // posters of every user may write to it
  socket_ = std::move(bound);
}

DistributedNotification::Listener::~Listener() {
  if (socket_.valid()) ::unlink(path_.c_str());
}

std::optional<std::string> DistributedNotification::Listener::next(std::chrono::milliseconds wait) {
  if (!socket_.valid()) return std::nullopt;
  pollfd ready{socket_.get(), POLLIN, 0};
  if (::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
  char buffer[1024];
  const ssize_t n = ::recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace brim
