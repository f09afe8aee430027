#pragma once
// Reading the files a scene folder names, which may come from anyone (a
// shared archive): only a regular file is read. A FIFO named like the
// document would make an ordinary open wait for a writer for ever, and a
// device such as /dev/zero never ends; both are refused before a byte is
// read, and a reader can bound what it reads by the size returned here.
//
// The one place the program, the export and the tools open such a file for
// reading. Nothing here prints or exits.

#include <cstdint>
#include <cstdio>
#include <string>

enum class FileCheck {
    regular,   // a regular file (a link to one is followed), readable
    missing,   // nothing at the path (or a folder on the way is missing)
    unusable,  // something else is there: a folder, a FIFO, a device, ...
};

// Opens `path` for reading ("rb") when it is a regular file, without waiting
// on a FIFO or reading a device. On success returns the stream and, when
// `size` is given, the file's size in bytes; the caller closes it. On
// failure returns null with `check` saying why: missing leaves `why`
// empty, unusable puts one phrase there ("it is not a regular file but a
// FIFO", "it cannot be opened: Permission denied").
std::FILE* openRegularFile(const char* path, FileCheck& check, std::string& why, std::uint64_t* size = nullptr);

// The same decision without keeping the file open, for a reader that opens
// the path itself (FFmpeg's demuxers): `why` as above.
FileCheck checkRegularFile(const char* path, std::string& why);
