// ExpandStored for the POSIX backend: the portable SZDD expander, straight from the stored
// contents into the sink. Nothing goes through a temporary file.
#include "lz/szdd.h"
#include "platform/exceptions.h"
#include "platform/lz_expand.h"

namespace {

// Raised through the expander when the sink refused a write, so that a refused write
// is told apart from a failed read of the contents, which must reach the caller.
struct SinkRefused {};

class GuardedSink : public ByteSink {
 public:
  explicit GuardedSink(ByteSink& inner) : inner_(inner) {}
  void Write(const uint8_t* data, size_t count) override {
    try {
      inner_.Write(data, count);
    } catch (const CFileException&) {
      throw SinkRefused();
    }
  }

 private:
  ByteSink& inner_;
};

}  // namespace

ExpandOutcome ExpandStored(ByteSource& stored, const std::string&, ByteSink& out) {
  GuardedSink sink(out);
  try {
    return SzddExpand(stored, sink).ok ? ExpandOutcome::expanded : ExpandOutcome::failed;
  } catch (const SinkRefused&) {
    return ExpandOutcome::failed;
  }
}
