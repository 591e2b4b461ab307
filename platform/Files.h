#pragma once
// Whole-file reads, files read piece by piece, and atomic writes.
#include "platform/Archive.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads a whole file; nothing stays open afterwards and out is empty unless
// the result is kReadOk. Anything but a regular file (a folder, a named pipe,
// a device) is refused without waiting for it, and the size is checked before
// a byte is read.
enum ReadFileResult {
    kReadOk,
    kReadCannotOpen,  // missing, or no permission
    kReadNotAFile,    // a folder, named pipe, socket or device
    kReadEmpty,       // 0 bytes
    kReadTooLarge,    // above maxBytes
    kReadFailed,      // the read itself failed or came up short
};
ReadFileResult ReadWholeFileChecked(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes);
// A file opened for reading pieces of it where they are needed. Open checks
// the path as ReadWholeFileChecked does (a regular file, not waited for) and
// reads nothing; kReadEmpty for 0 bytes, never kReadTooLarge.
class ReadOnlyFile : public ArchiveSource {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile() override;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    ReadFileResult Open(const std::string& path);
    uint64_t Size() const { return size_; }
    bool ReadAt(uint64_t offset, void* out, size_t size) override;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// The same, true only for kReadOk.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes = 0x7FFFFFFF);

// Writes bytes to a temporary file in the target's folder, flushes and syncs
// it, renames it over the target and syncs the folder. On any failure the
// temporary file is removed, the target is left as it was, and error (when
// given) says why. Only a regular file is replaced: a folder, named pipe,
// socket or device at the path is refused. A symbolic link is followed and
// the file it names is replaced, so the link stays. Temporaries that a save
// of the same target left behind when it was killed are removed first.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error = nullptr);
inline bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
    return WriteFileAtomic(path, bytes.data(), bytes.size(), error);
}

// A process whose file-size limit (RLIMIT_FSIZE) is reached is killed by
// SIGXFSZ in the middle of a write, leaving its temporary file behind. With
// the signal ignored the write fails with EFBIG and the save cleans up and
// reports instead. Programs call this once at start.
void IgnoreFileSizeLimitSignal();

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates a folder and its missing parents; true when it exists afterwards.
bool CreateDirectories(const std::string& path);
// Joins two path components with exactly one '/'.
std::string JoinPath(const std::string& a, const std::string& b);
// The last component of a path (after the last '/' or '\\').
std::string FileNameOf(const std::string& path);
// True when name is a single path component that cannot leave its folder.
bool IsSafeFileName(const std::string& name);
