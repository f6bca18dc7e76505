// What a new version takes over from the installed file it replaces.
#pragma once

#include <sys/stat.h>

// Gives the new file open at `fd` the owner, group and mode of the file it replaces, through
// the descriptor: a name could be swapped for a link meanwhile. The owner first: changing it
// clears set-id bits, which the mode then restores, but only where the owner they belong to
// could be kept.
void KeepIdentity(int fd, const struct stat& replaced);
