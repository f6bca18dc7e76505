// The streaming SZDD expander. Input and output go through two fixed buffers; the ring
// window is the last 4096 or more bytes of the output buffer, so a match is a plain copy
// from behind the write position and the decoding loop needs no per-byte masking.
#include <cstring>
#include <memory>

#include "lz/szdd.h"

namespace {

constexpr size_t kWindowSize = 4096;
constexpr size_t kWindowMask = kWindowSize - 1;
constexpr size_t kWindowStart = kWindowSize - 16;  // where the format starts writing
constexpr size_t kMaxMatch = 18;

constexpr size_t kInSize = 128 * 1024;
// One control byte and eight two-byte matches, and the 8-byte copies of literal runs:
// with this much input at hand a whole group decodes without bounds checks.
constexpr size_t kGroupIn = 1 + 8 * 2 + 8;
constexpr size_t kGroupOut = 8 * kMaxMatch;
// Bytes kept behind the write position after a flush: always a whole number of windows,
// so (write position - buffer start) & kWindowMask stays the ring position, and at least
// one window, so every distance 1..4096 lands inside the buffer.
constexpr size_t kHistory = 2 * kWindowSize;
constexpr size_t kOutChunk = 512 * 1024;
// Matches and literal runs are copied in whole 8-byte words, up to this many bytes past
// the end of what they produce; later tokens overwrite the excess.
constexpr size_t kCopySlack = 24;
// A group starts below the flush mark and writes at most kGroupOut bytes, plus the slack.
constexpr size_t kOutSize = kHistory + kOutChunk + kGroupOut + kCopySlack;

// kTrailingOnes[c]: how many literals the control byte c (shifted) announces before its
// first match. The shifted-in zero bits end the count, so it never passes the tokens left.
struct TrailingOnes {
  uint8_t count[256];
  constexpr TrailingOnes() : count() {
    for (unsigned c = 0; c < 256; ++c) {
      uint8_t n = 0;
      while (n < 8 && ((c >> n) & 1)) ++n;
      count[c] = n;
    }
  }
  constexpr uint8_t operator[](unsigned c) const { return count[c]; }
};
constexpr TrailingOnes kTrailingOnes;

// Reads into buffer[have, want) until it is full or the source ends; returns the new fill.
size_t Fill(ByteSource& in, uint8_t* buffer, size_t have, size_t want) {
  while (have < want) {
    size_t n = in.Read(buffer + have, want - have);
    if (n == 0) break;
    have += n;
  }
  return have;
}

// Copies the match (b0, b1) to `op` and returns the new write position. `ob` is the start
// of the output buffer; the ring position of `op` is (op - ob) & kWindowMask.
inline uint8_t* CopyMatch(uint8_t* op, const uint8_t* ob, unsigned b0, unsigned b1) {
  size_t ringPos = b0 | ((b1 & 0xF0u) << 4);
  size_t length = (b1 & 0x0Fu) + 3;
  // A match at the write position itself reads the byte written one window ago.
  size_t distance = ((static_cast<size_t>(op - ob) - ringPos - 1) & kWindowMask) + 1;
  const uint8_t* src = op - distance;
  if (distance >= 8) {
    // Each word reads bytes at least 8 behind it, already final: three words cover the
    // longest match, overlapping or not.
    std::memcpy(op, src, 8);
    std::memcpy(op + 8, src + 8, 8);
    std::memcpy(op + 16, src + 16, 8);
  } else if (distance == 1) {
    std::memset(op, src[0], kCopySlack);  // a run of one byte, as in zero padding
  } else {
    // Short periods: byte by byte, as the ring semantics require.
    for (size_t i = 0; i < length; ++i) op[i] = src[i];
  }
  return op + length;
}

SzddResult Copy(ByteSource& in, ByteSink& out, uint8_t* buffer, size_t have) {
  uint64_t written = 0;
  while (have > 0) {
    out.Write(buffer, have);
    written += have;
    have = in.Read(buffer, kInSize);
  }
  return {true, written};
}

}  // namespace

// Damaged input is decided as libmspack's SZDD decompressor decides it (checked by
// tests/lz/szdd_interop_test.cpp), so the two give the same bytes or both refuse:
// - the signature followed by fewer than 6 header bytes is refused (nothing is written):
//   such a file is no usable compressed file, and installing it verbatim would be worse;
// - a mode byte other than 'A' is refused;
// - a stream ending inside a match (one byte of its two) ends the output before that match,
//   and a control byte with no data after it ends the output there; both succeed, as the
//   system's lz32 also does.
SzddResult SzddExpand(ByteSource& in, ByteSink& out) {
  std::unique_ptr<uint8_t[]> memory(new uint8_t[kInSize + kOutSize]);
  uint8_t* const ib = memory.get();
  uint8_t* const ob = ib + kInSize;

  size_t have = Fill(in, ib, 0, kSzddHeaderSize);
  if (have < sizeof kSzddSignature || std::memcmp(ib, kSzddSignature, sizeof kSzddSignature)) {
    return Copy(in, out, ib, have);
  }
  if (have < kSzddHeaderSize || ib[8] != 'A') return {false, 0};
  // ib[9] (the missing character) and ib[10..13] (the length) are not needed.

  std::memset(ob, ' ', kHistory);
  uint8_t* op = ob + kWindowSize + kWindowStart;
  uint8_t* flushed = op;
  uint8_t* const flushMark = ob + kHistory + kOutChunk;
  uint64_t written = 0;

  const uint8_t* ip = ib;
  const uint8_t* iend = ib;
  bool eof = false;
  for (;;) {
    if (static_cast<size_t>(iend - ip) < kGroupIn && !eof) {
      size_t left = static_cast<size_t>(iend - ip);
      std::memmove(ib, ip, left);
      size_t filled = Fill(in, ib, left, kInSize);
      eof = filled < kInSize;
      ip = ib;
      iend = ib + filled;
    }
    if (op >= flushMark) {
      out.Write(flushed, static_cast<size_t>(op - flushed));
      written += static_cast<size_t>(op - flushed);
      size_t drop = (static_cast<size_t>(op - ob) - kWindowSize) & ~kWindowMask;
      std::memmove(ob, ob + drop, static_cast<size_t>(op - ob) - drop);
      op -= drop;
      flushed = op;
    }

    if (static_cast<size_t>(iend - ip) >= kGroupIn) {
      // Runs of literals move as one 8-byte copy, so the only data-dependent branch left
      // is once per match rather than once per token.
      unsigned control = *ip++;
      unsigned left = 8;
      for (;;) {
        unsigned literals = kTrailingOnes[control];
        std::memcpy(op, ip, 8);
        op += literals;
        ip += literals;
        control >>= literals;
        left -= literals;
        if (left == 0) break;
        op = CopyMatch(op, ob, ip[0], ip[1]);
        ip += 2;
        control >>= 1;
        if (--left == 0) break;
      }
      continue;
    }

    // The last few bytes of the input: the same decoding with a check before every read.
    if (ip == iend) break;
    unsigned control = *ip++;
    bool truncated = false;
    for (int k = 0; k < 8 && !truncated; ++k, control >>= 1) {
      if (control & 1) {
        if (ip == iend) {
          truncated = true;
        } else {
          *op++ = *ip++;
        }
      } else if (iend - ip < 2) {
        truncated = true;
      } else {
        op = CopyMatch(op, ob, ip[0], ip[1]);
        ip += 2;
      }
    }
    if (truncated) break;
  }
  if (op > flushed) {
    out.Write(flushed, static_cast<size_t>(op - flushed));
    written += static_cast<size_t>(op - flushed);
  }
  return {true, written};
}
