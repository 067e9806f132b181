#pragma once

#include <cstddef>

// Size of the path buffers the cabinet functions fill, terminator included.
constexpr size_t kCabinetPathSize = 260;

// Packs `count` files into one cabinet at `cabinetPath`, compressed with MSZIP. An entry
// "+" closes the current folder so that the next files start a new one. Each member is
// named by its file's name without the folders and keeps the file's local time and its
// read-only, hidden, system and archive attributes. True when the whole cabinet was
// written; on any failure (a missing input, a short write, a full disk) the answer is
// false and `cabinetPath` is as it was. A new cabinet gets 0666 less the umask, one that
// replaces a file keeps that file's mode, and a symbolic link at `cabinetPath` is
// followed.
bool CreateCabinet(int count, const char* const* files, const char* cabinetPath);

// Extracts every member of the cabinet at `cabinetPath` into `folder` (at most 255
// characters; a missing trailing '/' is supplied) and puts the path of the last member
// written into `outPath`. Members keep their stored time and read-only attribute. A
// cabinet that does not read, holds no member, names a member outside the folder or
// exceeds the size cap is refused whole: false, nothing written.
bool DecompressCabinet(const char* cabinetPath, const char* folder, char* outPath,
                       size_t outSize = kCabinetPathSize);

// Copies the part of `path` after its last '/' or '\' (the whole path when there is
// none) into `out`, cut to fit `outSize` and always terminated.
void StripFolder(const char* path, char* out, size_t outSize = kCabinetPathSize);
