#include "app/app_message_box.h"

#include <new>

#include "platform/exceptions.h"

std::string ApplicationTitle() {
  char path[MAX_PATH];
  DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name = (n > 0 && n < sizeof path) ? std::string(path, n) : std::string("vareri");
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  return name;
}

UINT AppMessageBoxType(UINT type) {
  UINT buttons = type & MB_TYPEMASK;
  if ((type & MB_ICONMASK) == 0 && (buttons == MB_OK || buttons == MB_OKCANCEL ||
                                    buttons == MB_YESNO || buttons == MB_YESNOCANCEL)) {
    type |= MB_ICONEXCLAMATION;
  }
  return type;
}

int AppMessageBox(const std::string& text, UINT type) {
  return ::MessageBoxA(::GetActiveWindow(), text.c_str(), ApplicationTitle().c_str(),
                       AppMessageBoxType(type));
}

void ReportError(const std::exception* error, bool fromCommand) {
  if (dynamic_cast<const CUserException*>(error)) return;
  if (dynamic_cast<const CMemoryException*>(error) || dynamic_cast<const std::bad_alloc*>(error)) {
    AppMessageBox(CMemoryException().what(), MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    return;
  }
  std::string text = error ? error->what() : "";
  if (text.empty()) {
    text = fromCommand ? "The command failed because of an unexpected error."
                       : "An unexpected error occurred.";
  }
  AppMessageBox(text, MB_OK | MB_ICONSTOP);
}
