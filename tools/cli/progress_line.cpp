#include "progress_line.h"

void ProgressLine::Show(const std::string& text) {
  if (!terminal_) return;
  std::string pad(shown_ > text.size() ? shown_ - text.size() : 0, ' ');
  *terminal_ << '\r' << text << pad << std::flush;
  shown_ = text.size() + pad.size();
}

void ProgressLine::Clear() {
  if (!terminal_ || shown_ == 0) return;
  *terminal_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
  shown_ = 0;
}
