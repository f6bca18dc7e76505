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
// How far past a position MatchLength may read: its 8-byte steps up to kMaxMatch.
constexpr size_t kLookahead = 24;

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
  if (room >= kLookahead) {
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

// Reads its input through a window that holds the bytes matches may reach back to, the
// block being parsed and the few bytes a match may look past it, and writes each block's
// output as soon as it is parsed, so memory stays the same whatever the input's size.
class Compressor {
 public:
  Compressor(ByteSource& in, uint64_t size, ByteSink& out) : in_(in), size_(size), sink_(out) {
    for (auto& h : head_) h = kNoPosition;
  }

  // Writes the compressed stream for the whole input. Returns false when the input ends
  // before `size` bytes.
  bool Run() {
    for (uint64_t start = 0; start < size_; start += kBlock) {
      uint64_t end = size_ - start < kBlock ? size_ : start + kBlock;
      if (!Fill(start, end)) return false;
      FindMatches(start, end);
      Parse(start, end);
      Emit(start, end);
      Flush(false);
    }
    Flush(true);
    return true;
  }

 private:
  // The input byte at absolute position `pos`, which the window holds.
  const uint8_t* At(uint64_t pos) const { return window_ + (pos - base_); }

  // Moves the window so that it holds the reach of the block [start, end).
  bool Fill(uint64_t start, uint64_t end) {
    uint64_t keep = start > kWindowSize ? start - kWindowSize : 0;
    if (keep > base_) {
      size_t dropped = static_cast<size_t>(keep - base_);
      std::memmove(window_, window_ + dropped, filled_ - dropped);
      filled_ -= dropped;
      base_ = keep;
    }
    uint64_t need = size_ - end < kLookahead ? size_ : end + kLookahead;
    while (base_ + filled_ < need) {
      size_t n = in_.Read(window_ + filled_, static_cast<size_t>(need - base_ - filled_));
      if (n == 0) return false;
      filled_ += n;
    }
    return true;
  }

  // Fills length_ and distance_ for positions [start, end), matches ending by `end`.
  void FindMatches(uint64_t start, uint64_t end) {
    for (uint64_t i = start; i < end; ++i) {
      size_t k = static_cast<size_t>(i - start);
      length_[k] = 0;
      if (size_ - i < kMinMatch) continue;
      const uint8_t* here = At(i);
      uint32_t h = Hash3(here);
      int64_t pos = static_cast<int64_t>(i);
      int64_t candidate = head_[h];
      head_[h] = pos;
      prev_[i & kWindowMask] = candidate;
      size_t limit = end - i < kMaxMatch ? static_cast<size_t>(end - i) : kMaxMatch;
      if (limit < kMinMatch) continue;
      size_t room = size_ - i < kLookahead ? static_cast<size_t>(size_ - i) : kLookahead;
      size_t best = kMinMatch - 1;
      int64_t bestPos = 0;
      for (int steps = kMaxChain; steps > 0 && pos - candidate <= kMaxDistance; --steps) {
        const uint8_t* there = At(static_cast<uint64_t>(candidate));
        // The byte that would make the match longer than the best so far decides quickly.
        if (there[best] == here[best]) {
          size_t len = MatchLength(here, there, limit, room);
          if (len > best) {
            best = len;
            bestPos = candidate;
            if (len == limit) break;
          }
        }
        candidate = prev_[static_cast<uint64_t>(candidate) & kWindowMask];
      }
      if (best >= kMinMatch) {
        length_[k] = static_cast<uint8_t>(best);
        distance_[k] = static_cast<uint16_t>(pos - bestPos);
      }
    }
  }

  // Backward pass: cost_[k] is the fewest bits that encode [start + k, end); choice_[k]
  // is the match length taken at start + k, or 0 for a literal.
  void Parse(uint64_t start, uint64_t end) {
    size_t n = static_cast<size_t>(end - start);
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

  void Emit(uint64_t start, uint64_t end) {
    uint64_t i = start;
    while (i < end) {
      if (bits_ == 8) {
        control_ = used_++;
        out_[control_] = 0;
        bits_ = 0;
      }
      uint8_t len = choice_[i - start];
      if (len == 0) {
        out_[control_] |= static_cast<uint8_t>(1u << bits_);
        out_[used_++] = *At(i);
        ++i;
      } else {
        size_t ring = static_cast<size_t>(kWindowStart + i - distance_[i - start]) & kWindowMask;
        out_[used_++] = static_cast<uint8_t>(ring & 0xFF);
        out_[used_++] = static_cast<uint8_t>(((ring >> 4) & 0xF0) | (len - kMinMatch));
        i += len;
      }
      ++bits_;
    }
  }

  // Passes the output on; a group whose control byte is still being filled stays, unless
  // this is the end.
  void Flush(bool last) {
    size_t ready = last || bits_ == 8 ? used_ : control_;
    if (ready > 0) sink_.Write(out_, ready);
    std::memmove(out_, out_ + ready, used_ - ready);
    control_ -= ready;
    used_ -= ready;
  }

  // A block's output: a control byte per eight items, an item per input byte at most, and
  // the group left open by the block before.
  static constexpr size_t kOutSize = kBlock + kBlock / 8 + 2 * (1 + 2 * 8);

  ByteSource& in_;
  const uint64_t size_;
  ByteSink& sink_;
  uint64_t base_ = 0;  // the absolute position of window_[0]
  size_t filled_ = 0;
  size_t control_ = 0;  // where the current group's control byte is in out_
  int bits_ = 8;
  size_t used_ = 0;
  int64_t head_[kHashSize];
  int64_t prev_[kWindowSize];
  uint8_t length_[kBlock];
  uint16_t distance_[kBlock];
  uint8_t choice_[kBlock];
  uint32_t cost_[kBlock + 1];
  uint8_t window_[kWindowSize + kBlock + kLookahead];
  uint8_t out_[kOutSize];
};

}  // namespace

bool SzddCompress(ByteSource& in, uint64_t size, ByteSink& out, char missingChar) {
  uint8_t header[kSzddHeaderSize];
  std::memcpy(header, kSzddSignature, sizeof kSzddSignature);
  header[8] = 'A';
  header[9] = static_cast<uint8_t>(missingChar);
  // Expanders do not trust the length; a size past 32 bits is recorded as the largest.
  uint32_t length = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
  for (int k = 0; k < 4; ++k) header[10 + k] = static_cast<uint8_t>(length >> (8 * k));
  out.Write(header, sizeof header);
  if (size == 0) return true;
  return std::make_unique<Compressor>(in, size, out)->Run();
}

std::vector<uint8_t> SzddCompress(const uint8_t* data, size_t size, char missingChar) {
  // Grown by resizing: GCC 12 takes VectorSink's insert into a vector still empty for an
  // overflow (-Wstringop-overflow) once the call is inlined.
  class Appender : public ByteSink {
   public:
    void Write(const uint8_t* bytes, size_t count) override {
      size_t at = out.size();
      out.resize(at + count);
      std::memcpy(out.data() + at, bytes, count);
    }
    std::vector<uint8_t> out;
  } sink;
  sink.out.reserve(kSzddHeaderSize + size + size / 8 + 1);
  MemorySource source(data, size);
  SzddCompress(source, size, sink, missingChar);
  return std::move(sink.out);
}
