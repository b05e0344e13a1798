// HTTP Basic authentication with one user and password, given as "USER:PASSWORD".
#pragma once

#include <optional>
#include <string>
#include <string_view>

class BasicAuth {
 public:
  explicit BasicAuth(std::string_view userAndPassword);
  // True when the Authorization header (nothing when absent) carries the credentials.
  bool Admits(std::optional<std::string_view> authorization) const;

  static constexpr const char* kChallenge = "Basic realm=\"camweb\", charset=\"UTF-8\"";

 private:
  std::string expectedToken_;  // base64 of USER:PASSWORD
};

std::string Base64(std::string_view bytes);
