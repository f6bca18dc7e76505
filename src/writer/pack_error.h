// The error of the writer side: an input that cannot be read, or that does not fit the format.
// Its text names the input and says what to do.
#pragma once

#include <stdexcept>

class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
