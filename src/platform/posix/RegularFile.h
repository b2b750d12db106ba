// Opening files that the library reads whole: only regular files, never a FIFO, socket or
// device, whose reading could block or never end.
#pragma once

namespace camcab::platform {

// Opens a regular file for reading and returns its descriptor. Opening does not wait for a
// FIFO's writer. On failure returns -1 with errno set: EISDIR for a folder, ENODEV for any
// other object that is not a regular file, or the error of open.
int OpenRegularFile(const char* name);

}  // namespace camcab::platform
