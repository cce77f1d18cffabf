#pragma once
#include <gtest/gtest.h>

#include <string>

#include "http/ASIHTTPRequest.h"

namespace brim::test {

// The request ended with that error of the engine's domain and nothing more.
inline void expectError(const ASIHTTPRequest& request, int code, const std::string& text) {
  ASSERT_TRUE(request.error().has_value()) << "status " << request.responseStatusCode();
  EXPECT_EQ(request.error()->domain, "ASIHTTPRequestErrorDomain");
  EXPECT_EQ(request.error()->code, code) << request.error()->underlyingError.value_or("");
  EXPECT_EQ(request.error()->localizedDescription, text);
  EXPECT_TRUE(request.complete());
}

}  // namespace brim::test
