// Opening an update file, as the main window and vareri-cli do it: the header read with a
// short-lived reader, and the checks that refuse what is not a supported update file.
#pragma once

#include "model/update_header.h"
#include "platform/file.h"

// Why opening refuses a file.
enum class HeaderRefusal {
  none,
  notUpdateFile,  // wrong signature or file type
  formatTooOld,   // below 5: the user needs a new update file
  formatTooNew,   // above 6: the user needs a new version of this program
};

// The window's message for `refusal` ("" for none).
const char* RefusalMessage(HeaderRefusal refusal);

// Reads the header from the first byte of `file` with a short-lived reader, as the window
// does: file type, format and signature first. Returns why the file is refused, leaving
// the rest unread, or none with every field read. Raises CArchiveException when the file
// ends inside the header, CFileException when the OS refuses a read.
HeaderRefusal ReadUpdateHeader(CFile& file, UpdateHeader* header);
