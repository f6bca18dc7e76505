#include <windows.h>

#include <vector>

#include "platform/text.h"

std::string WideToAnsi(const uint16_t* units, size_t count) {
  size_t length = 0;
  while (length < count && units[length] != 0) ++length;
  if (length == 0) return std::string();
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(units);
  int need = ::WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), nullptr, 0, nullptr,
                                   nullptr);
  if (need <= 0) return std::string();
  std::string text(static_cast<size_t>(need), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), &text[0], need, nullptr,
                        nullptr);
  return text;
}
