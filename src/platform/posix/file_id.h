// Which file is which, natively: what a name, then a descriptor, must both lead to.
#pragma once

#include <sys/types.h>

#include <cstdint>

// The device and inode, and the file's birth time where the file system keeps one: a freed
// inode's number is soon given to the next file made, and a file made in the place of one of
// ours must never pass for it.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  int64_t bornSeconds = 0;
  uint32_t bornNanoseconds = 0;
  bool operator==(const FileId& other) const {
    return device == other.device && inode == other.inode && bornSeconds == other.bornSeconds &&
           bornNanoseconds == other.bornNanoseconds;
  }
};

// The identity of the file open as `fd`; false when it cannot be read.
bool ReadFileId(int fd, FileId* id);
// The identity of what `path` names itself, a link not followed; false when it cannot be read.
bool ReadFileIdOfName(const char* path, FileId* id);
