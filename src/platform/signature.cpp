// The rules every backend shares: key ids, the key's one-line text, and what a key must be.
#include "platform/signature.h"

#include <cstring>
#include <vector>

#include "platform/signature_backend.h"

bool KeyId::operator==(const KeyId& other) const {
  return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

std::string KeyId::Hex() const { return LowerHex(bytes, sizeof bytes); }

KeyId PublicKey::Id() const {
  Sha256Digest digest = Sha256Of(point, sizeof point);
  KeyId id;
  std::memcpy(id.bytes, digest.bytes, sizeof id.bytes);
  return id;
}

std::string PublicKey::Text() const {
  return std::string(kKeyTextTag) + " " + EncodeBase64(point, sizeof point);
}

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Why `pem` is not exactly one PEM block labelled PUBLIC KEY with nothing around it, or "".
// Decided here, alike for every backend: the libraries would each take a block of their own
// choosing from text that holds several.
std::string PemFrameProblem(const std::string& pem) {
  const std::string begin = "-----BEGIN PUBLIC KEY-----";
  const std::string end = "-----END PUBLIC KEY-----";
  std::vector<std::string> lines;
  for (size_t start = 0; start <= pem.size();) {
    size_t stop = pem.find('\n', start);
    if (stop == std::string::npos) stop = pem.size();
    std::string line = pem.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(Trim(line));
    start = stop + 1;
  }
  if (lines.front() != begin) {
    return "it is not a PEM public key: its block begins \"" + lines.front() + "\"";
  }
  for (size_t k = 1; k < lines.size(); ++k) {
    if (lines[k].compare(0, 5, "-----") != 0) continue;
    if (lines[k] != end) return "it is not one PEM public key: it holds \"" + lines[k] + "\"";
    if (k + 1 != lines.size()) return "it is not one PEM public key: it holds more than one block";
    return std::string();
  }
  return "it is not a PEM public key: it has no \"" + end + "\" line";
}

}  // namespace

std::string ParsePublicKey(const std::string& text, PublicKey* key) {
  std::string trimmed = Trim(text);
  if (trimmed.empty()) return "it is empty";
  std::vector<uint8_t> point;
  if (trimmed.compare(0, 5, "-----") == 0) {
    std::string problem = PemFrameProblem(trimmed);
    if (problem.empty()) problem = DecodePemPublicKey(trimmed, &point);
    if (!problem.empty()) return problem;
  } else {
    std::string tag = std::string(kKeyTextTag) + " ";
    if (trimmed.compare(0, tag.size(), tag) != 0) {
      return "it does not begin with \"" + tag + "\"";
    }
    // Only the text updpack writes: a key that reads two ways would have two texts.
    std::string encoded = trimmed.substr(tag.size());
    if (!DecodeBase64(encoded, &point) || EncodeBase64(point.data(), point.size()) != encoded) {
      return "its base64 part is damaged";
    }
  }
  if (point.size() != kPublicPointSize || point[0] != 4) {
    return "it holds " + std::to_string(point.size()) +
           " bytes, not the 65 of an uncompressed P-256 public key";
  }
  PublicKey parsed;
  std::memcpy(parsed.point, point.data(), sizeof parsed.point);
  if (!IsUsableKey(parsed)) return "it is not a point on the P-256 curve";
  *key = parsed;
  return std::string();
}
