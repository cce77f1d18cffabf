#include "platform/DistributedNotification.h"

#include "platform/macos/SystemFrameworks.h"

namespace brim {

// CoreFoundation's distributed notification centre, which the agent's listener
// observes. A notification carries its name only, and goes to the processes
// of every logged-in user. The centre says nothing of who heard it: a post
// made counts as one.
int DistributedNotification::post(std::string_view name) {
  const LateLibrary* foundation = LateLibrary::shared(mac::kCoreFoundation);
  if (!foundation) return 0;
  const auto createString = foundation->function<mac::CFStringCreateWithBytesFunction>("CFStringCreateWithBytes");
  const auto release = foundation->function<mac::CFReleaseFunction>("CFRelease");
  const auto center = foundation->function<mac::CFNotificationCenterGetDistributedCenterFunction>(
      "CFNotificationCenterGetDistributedCenter")();
  const auto postWithOptions = foundation->function<mac::CFNotificationCenterPostNotificationWithOptionsFunction>(
      "CFNotificationCenterPostNotificationWithOptions");
  if (!center) return 0;
  const mac::CFStringRef cfName = createString(nullptr, reinterpret_cast<const uint8_t*>(name.data()),
                                               static_cast<mac::CFIndex>(name.size()), mac::kCFStringEncodingUTF8, 0);
  if (!cfName) return 0;
  postWithOptions(center, cfName, nullptr, nullptr, mac::kCFNotificationPostToAllSessions);
  release(cfName);
  return 1;
}

// On macOS the agent's own component listens through the centre; the tool
// never does, so its listening end hears nothing here.
DistributedNotification::Listener::Listener() = default;

DistributedNotification::Listener::~Listener() = default;

std::optional<std::string> DistributedNotification::Listener::next(std::chrono::milliseconds /*wait*/) {
  return std::nullopt;
}

}  // namespace brim
