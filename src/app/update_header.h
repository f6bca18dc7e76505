// The update file's header as the main window reads it on opening: the checks that
// refuse what is not a supported update file, and the installation directory proposed
// from it. The window and vareri-cli share it.
#pragma once

#include <cstdint>
#include <string>

#include "model/integrity_check.h"
#include "platform/file.h"

struct UpdateHeader {
  uint16_t fileType = 0;
  uint16_t formatVersion = 0;
  std::string signature;
  std::string description;
  std::string productName;
  std::string failureMessage;
  std::string defaultDirectory;
  std::string registryPath[3];  // format 6 only
};

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

// The installation directory the window proposes: for format 6, the "PathName" value under
// HKLM\Software\<p1>\<p2>\<p3> when ReadInstallPath finds it (never on the POSIX build),
// else the default directory by the drive rule.
std::string ProposeInstallDir(const UpdateHeader& header);

// The key the product's updates must be signed by: for format 6, the "UpdateKey" value
// beside "PathName" when ReadUpdateKey finds one (never on the POSIX build); none otherwise.
TrustRequirement RecordedTrust(const UpdateHeader& header);
