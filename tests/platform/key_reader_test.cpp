// One key reader for both backends: the same texts give the same key, or are refused, natively
// (OpenSSL) and under Wine (CNG and crypt32). The rules of what a key file may hold are the
// program's own; only the decoding is the libraries'.
#include <gtest/gtest.h>

#include <string>

#include "platform/signature.h"
#include "support/trust_data.h"

namespace {

std::string Crlf(std::string text) {
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
    text.insert(at, "\r");
  }
  return text;
}

TEST(KeyReader, TakesOnePublicKeyBlockOrTheOneLineTextAndNothingElse) {
  const std::string pub = TrustText("vendor.pub");
  const std::string other = TrustText("other.pub");
  const std::string params =
      "-----BEGIN EC PARAMETERS-----\nBggqhkjOPQMBBw==\n-----END EC PARAMETERS-----\n";
  const std::string foo = "-----BEGIN FOO-----\n" + other.substr(27, 130) + "-----END FOO-----\n";
  const struct {
    std::string text;
    bool accepted;
  } cases[] = {
      {pub, true},
      {TrustText("vendor.txt"), true},
      {Crlf(pub), true},
      {"\n\n" + pub + "\n  \n", true},
      {foo + pub, false},     // a block before the key: each library would pick its own
      {pub + other, false},   // two keys
      {params + pub, false},  // the curve's parameters beside the key
      {TrustText("vendor.key"), false},
      {pub.substr(0, pub.size() - 25), false},  // no end line
      {pub + "trailing words\n", false},
      {"-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n", false},
  };
  PublicKey vendor;
  ASSERT_EQ(ParsePublicKey(pub, &vendor), "");
  for (const auto& c : cases) {
    PublicKey key;
    std::string problem = ParsePublicKey(c.text, &key);
    EXPECT_EQ(problem.empty(), c.accepted) << c.text << "\n" << problem;
    if (c.accepted) {
      EXPECT_EQ(key.Id(), vendor.Id()) << c.text;
    }
  }
}

}  // namespace
