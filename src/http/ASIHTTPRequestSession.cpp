#include "http/ASIHTTPRequestSession.h"

#include <vector>

namespace brim {

ASIHTTPRequest::Session* ASIHTTPRequest::Session::shared() {
  const CurlLibrary* curl = CurlLibrary::get();
  if (!curl) return nullptr;
  static std::mutex making;
  // Never freed: connections and stores live as long as the process. Only a
  // test puts another library in place, between requests; the session of the
  // one before is then kept as it is, its library possibly gone.
  static auto& made = *new std::vector<Session*>;
  const std::lock_guard<std::mutex> guard(making);
  if (!made.empty() && &made.back()->curl == curl) return made.back();
  auto* created = made.emplace_back(new Session(*curl));
  created->pool = curl->multi_init();
  created->cookies = curl->share_init();
  if (created->cookies) curl->share_setopt(created->cookies, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  return created;
}

PoolAttachment::PoolAttachment(const CurlLibrary& curl, CURLM* pool, CURL* easy)
    : curl_(curl), pool_(pool), easy_(easy) {
  attached_ = curl_.multi_add_handle(pool_, easy_) == CURLM_OK;
}

PoolAttachment::~PoolAttachment() {
  if (attached_) curl_.multi_remove_handle(pool_, easy_);
}

}  // namespace brim
