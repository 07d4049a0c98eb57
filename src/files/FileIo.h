// FileIo: reading a file that may not be what its name promises, and replacing a file
// without ever leaving it half written.
//
// ReadRegularFile refuses, without blocking on them, what is not a regular file: a
// directory, a FIFO (which would block for ever without a writer), a device (opening a
// serial port would change its modem lines). SaveAtomically writes a temporary file in the
// same folder, flushes it to the disk and renames it over the target (through a symbolic
// link, over what the link points at, and the link stays), so that the target
// is either the old file whole or the new one whole, even after a crash; on failure the
// target is untouched and no temporary file remains. It refuses a target that exists and
// is not a regular file (/dev/stdout, a FIFO, a device, a directory) rather than write to
// it without that promise.
//
// Callable from any thread. Errors are returned as text that names the file and the
// cause; nothing throws.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keltrove {

struct FileRead {
    std::optional<std::string> bytes;  // set on success
    std::string error;                 // "<path>: is a directory, not a file", ...
};

// The whole of `path`, when it is a regular file no larger than a table file can be.
FileRead ReadRegularFile(const std::string& path);

// Makes `path` hold `bytes`, atomically. A new file gets the usual permissions; a file that
// is replaced keeps its own. Returns an error text, empty on success.
std::string SaveAtomically(const std::string& path, std::string_view bytes);

// Why SaveAtomically would refuse `path` as things stand: a descriptor's name (/dev/stdout),
// not a regular file, a folder that does not exist, a name too long; empty when it would
// try. For a caller that must not do work whose result could not be saved.
std::string ReplaceProblem(const std::string& path);

// Whether `one` and `other` name one file, so that replacing one would change or lose the
// other: when both exist, the same file once every link is followed (the same device and
// inode; on Windows the same volume and file index), which catches a hard link too; when
// neither does, the same place once the links in their paths are followed, as SaveAtomically
// follows them. A name that exists and one that does not are never one file.
bool SameFile(const std::string& one, const std::string& other);

}  // namespace keltrove
