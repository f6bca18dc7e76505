// The SZDD compressor: hash chains find the longest match (3..18 bytes, within the last
// window) at every position, and a backward pass over each block picks the cheapest mix
// of literals and matches. Every match costs the same 17 bits whatever its length and
// distance and a literal 9, so the cheapest parse only needs the longest match length.
#include <cstring>
#include <memory>

#include "lz/szdd.h"

namespace {

constexpr size_t kWindowSize = 4096;
constexpr size_t kWindowMask = kWindowSize - 1;
constexpr size_t kWindowStart = kWindowSize - 16;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 18;
// Matches stay behind the bytes still to be written, as the format's original tools keep
// them, so every expander's way of filling the ring reads the same bytes.
constexpr int64_t kMaxDistance = kWindowSize - kMaxMatch;
constexpr int kHashBits = 14;
constexpr size_t kHashSize = size_t{1} << kHashBits;
// Chain steps per position: past this the longer matches are rare and the time is not.
constexpr int kMaxChain = 16;
constexpr size_t kBlock = 32 * 1024;
constexpr uint32_t kLiteralBits = 9;
constexpr uint32_t kMatchBits = 17;
constexpr int64_t kNoPosition = -(int64_t{1} << 40);

inline uint32_t Hash3(const uint8_t* p) {
  uint32_t v = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
  return (v * 2654435761u) >> (32 - kHashBits);
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Length of the common prefix of a and b, at most `limit` (<= kMaxMatch); b < a. `room`
// is how many bytes may be read from a (b's are fewer bytes behind, so also readable).
inline size_t MatchLength(const uint8_t* a, const uint8_t* b, size_t limit, size_t room) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (room >= 24) {
    for (size_t n = 0; n < limit; n += 8) {
      uint64_t diff = Load64(a + n) ^ Load64(b + n);
      if (diff != 0) {
        size_t len = n + static_cast<size_t>(__builtin_ctzll(diff) >> 3);
        return len < limit ? len : limit;
      }
    }
    return limit;
  }
#endif
  (void)room;
  size_t len = 0;
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

class Compressor {
 public:
  Compressor(const uint8_t* data, size_t size) : data_(data), size_(size) {
    for (auto& h : head_) h = kNoPosition;
  }

  // Writes the compressed stream for the whole input at `out` and returns its end.
  // REQUIRES: room for size + size / 8 + 1 bytes at `out`.
  uint8_t* Run(uint8_t* out) {
    out_ = out;
    for (size_t start = 0; start < size_; start += kBlock) {
      size_t end = size_ - start < kBlock ? size_ : start + kBlock;
      FindMatches(start, end);
      Parse(start, end);
      Emit(start, end);
    }
    return out_;
  }

 private:
  // Fills length_ and distance_ for positions [start, end), matches ending by `end`.
  void FindMatches(size_t start, size_t end) {
    for (size_t i = start; i < end; ++i) {
      length_[i - start] = 0;
      if (size_ - i < kMinMatch) continue;
      uint32_t h = Hash3(data_ + i);
      int64_t pos = static_cast<int64_t>(i);
      int64_t candidate = head_[h];
      head_[h] = pos;
      prev_[i & kWindowMask] = candidate;
      size_t limit = end - i < kMaxMatch ? end - i : kMaxMatch;
      if (limit < kMinMatch) continue;
      const uint8_t* here = data_ + i;
      size_t room = size_ - i;
      size_t best = kMinMatch - 1;
      int64_t bestPos = 0;
      for (int steps = kMaxChain; steps > 0 && pos - candidate <= kMaxDistance; --steps) {
        const uint8_t* there = data_ + candidate;
        // The byte that would make the match longer than the best so far decides quickly.
        if (there[best] == here[best]) {
          size_t len = MatchLength(here, there, limit, room);
          if (len > best) {
            best = len;
            bestPos = candidate;
            if (len == limit) break;
          }
        }
        candidate = prev_[static_cast<size_t>(candidate) & kWindowMask];
      }
      if (best >= kMinMatch) {
        length_[i - start] = static_cast<uint8_t>(best);
        distance_[i - start] = static_cast<uint16_t>(pos - bestPos);
      }
    }
  }

  // Backward pass: cost_[k] is the fewest bits that encode [start + k, end); choice_[k]
  // is the match length taken at start + k, or 0 for a literal.
  void Parse(size_t start, size_t end) {
    size_t n = end - start;
    cost_[n] = 0;
    for (size_t k = n; k-- > 0;) {
      uint32_t best = cost_[k + 1] + kLiteralBits;
      uint8_t choice = 0;
      for (size_t len = kMinMatch; len <= length_[k]; ++len) {
        uint32_t c = cost_[k + len] + kMatchBits;
        if (c < best) {
          best = c;
          choice = static_cast<uint8_t>(len);
        }
      }
      cost_[k] = best;
      choice_[k] = choice;
    }
  }

  void Emit(size_t start, size_t end) {
    size_t i = start;
    while (i < end) {
      if (bits_ == 8) {
        control_ = out_++;
        *control_ = 0;
        bits_ = 0;
      }
      uint8_t len = choice_[i - start];
      if (len == 0) {
        *control_ |= static_cast<uint8_t>(1u << bits_);
        *out_++ = data_[i];
        ++i;
      } else {
        size_t ring = (kWindowStart + i - distance_[i - start]) & kWindowMask;
        out_[0] = static_cast<uint8_t>(ring & 0xFF);
        out_[1] = static_cast<uint8_t>(((ring >> 4) & 0xF0) | (len - kMinMatch));
        out_ += 2;
        i += len;
      }
      ++bits_;
    }
  }

  const uint8_t* data_;
  size_t size_;
  uint8_t* out_ = nullptr;
  uint8_t* control_ = nullptr;
  int bits_ = 8;
  int64_t head_[kHashSize];
  int64_t prev_[kWindowSize];
  uint8_t length_[kBlock];
  uint16_t distance_[kBlock];
  uint8_t choice_[kBlock];
  uint32_t cost_[kBlock + 1];
};

}  // namespace

std::vector<uint8_t> SzddCompress(const uint8_t* data, size_t size, char missingChar) {
  std::vector<uint8_t> out(kSzddHeaderSize + size + size / 8 + 1);
  std::memcpy(out.data(), kSzddSignature, sizeof kSzddSignature);
  out[8] = 'A';
  out[9] = static_cast<uint8_t>(missingChar);
  // Expanders do not trust the length; a size past 32 bits is recorded as the largest.
  uint32_t length = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
  for (int k = 0; k < 4; ++k) out[10 + k] = static_cast<uint8_t>(length >> (8 * k));
  if (size == 0) {
    out.resize(kSzddHeaderSize);
    return out;
  }
  auto compressor = std::make_unique<Compressor>(data, size);
  uint8_t* end = compressor->Run(out.data() + kSzddHeaderSize);
  out.resize(static_cast<size_t>(end - out.data()));
  return out;
}
