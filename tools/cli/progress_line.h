// How far a run has come, as one line on a terminal that is rewritten in place ('\r').
// Whatever else goes to the same screen clears it first, so that no text lands on it. The
// stream belongs to the caller and outlives the line.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

class ProgressLine {
 public:
  // `terminal`: the stream the line goes to; null when there is no terminal to show it on,
  // and then nothing is ever written.
  explicit ProgressLine(std::ostream* terminal) : terminal_(terminal) {}

  // Shows `text` in place of the line shown, padded over a longer one, and flushes.
  void Show(const std::string& text);

  // Blanks the line shown, if any, leaving the cursor at its start.
  void Clear();

 private:
  std::ostream* terminal_;
  size_t shown_ = 0;  // the length of the line on the screen; 0 when none is
};
