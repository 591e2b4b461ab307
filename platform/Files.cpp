#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <dirent.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens a regular file for reading. Opening a named pipe waits for a writer,
// possibly for ever: the type is checked first, and the open does not block
// in case the path changed in between. On kReadOk fd and st describe the file.
ReadFileResult OpenRegularFile(const std::string& path, int& fd, struct stat& st) {
    fd = -1;
    if (::stat(path.c_str(), &st) != 0) return kReadCannotOpen;
    if (!S_ISREG(st.st_mode)) return kReadNotAFile;
    const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (opened < 0) return kReadCannotOpen;
    if (::fstat(opened, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(opened);
        return kReadNotAFile;
    }
    const int flags = ::fcntl(opened, F_GETFL);
    if (flags >= 0) ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK);
    fd = opened;
    return kReadOk;
}

}  // namespace

ReadFileResult ReadWholeFileChecked(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
    out.clear();
    struct stat st {};
    int fd = -1;
    if (const ReadFileResult opened = OpenRegularFile(path, fd, st); opened != kReadOk) return opened;
    if (st.st_size <= 0 || uint64_t(st.st_size) > maxBytes) {
        ::close(fd);
        return st.st_size <= 0 ? kReadEmpty : kReadTooLarge;
    }
    bool ok = true;
    try {
        out.resize(size_t(st.st_size));
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    size_t got = 0;
    while (ok && got < out.size()) {
        // Reads of at most 1 GiB: larger single reads are cut short anyway.
        const ssize_t r = ::read(fd, out.data() + got, std::min<size_t>(out.size() - got, size_t(1) << 30));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) ok = false;
        else got += size_t(r);
    }
    ::close(fd);
    if (!ok) {
        std::vector<uint8_t>().swap(out);
        return kReadFailed;
    }
    return kReadOk;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
}

ReadFileResult ReadOnlyFile::Open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    struct stat st {};
    int fd = -1;
    if (const ReadFileResult opened = OpenRegularFile(path, fd, st); opened != kReadOk) return opened;
    fd_ = fd;
    size_ = st.st_size > 0 ? uint64_t(st.st_size) : 0;
    return size_ == 0 ? kReadEmpty : kReadOk;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, void* out, size_t size) {
    if (fd_ < 0) return false;
    auto* p = static_cast<uint8_t*>(out);
    size_t got = 0;
    while (got < size) {
        // Reads of at most 1 GiB: larger single reads are cut short anyway.
        const ssize_t r = ::pread(fd_, p + got, std::min<size_t>(size - got, size_t(1) << 30), off_t(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        got += size_t(r);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
    return ReadWholeFileChecked(path, out, maxBytes) == kReadOk;
}

namespace {

// Temporaries are named ".<target name>.<tag>XXXXXX", so that a later save of
// the same target can tell this program's leftovers from anything else.
constexpr const char* kTempTag = ".plindrow-save-";

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links from path to the file they finally name (which may
// not exist yet); relative links are taken from the link's own folder. False
// for a chain that does not end.
bool ResolveLinks(const std::string& path, std::string& out) {
    std::string cur = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(cur.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            out = cur;
            return true;
        }
        std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(cur.c_str(), buf.data(), buf.size());
        if (n < 0 || size_t(n) >= buf.size()) return false;
        const std::string link(buf.data(), size_t(n));
        cur = !link.empty() && link[0] == '/' ? link : JoinPath(FolderOf(cur), link);
    }
    return false;
}

// A temporary of ours for this target: the prefix and six mkstemp characters.
bool IsOurTemporary(const std::string& entry, const std::string& prefix) {
    if (entry.size() != prefix.size() + 6 || entry.compare(0, prefix.size(), prefix) != 0) return false;
    return std::all_of(entry.begin() + std::ptrdiff_t(prefix.size()), entry.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Removes temporaries a killed save of the same target left behind. A save
// in progress holds a lock on its temporary, so only those whose writer is
// gone are removed.
void RemoveStaleTemporaries(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(d))
        if (IsOurTemporary(e->d_name, prefix)) stale.emplace_back(e->d_name);
    ::closedir(d);
    for (const std::string& name : stale) {
        const std::string p = JoinPath(dir, name);
        const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(p.c_str());
        ::close(fd);
    }
}

}  // namespace

bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (path.empty()) return fail("No file name.");
    // A symbolic link stays a link: the file it names is what is replaced.
    std::string target;
    if (!ResolveLinks(path, target)) return fail("Cannot follow the links of " + path + ".");
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return fail(path + " is not a regular file (a folder, named pipe, socket or device); it was not replaced.");
    const std::string dir = FolderOf(target);
    const std::string prefix = "." + FileNameOf(target) + kTempTag;
    RemoveStaleTemporaries(dir, prefix);

    int fd = -1;
    std::string tmp;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        std::string tmpl = JoinPath(dir, prefix + "XXXXXX");
        std::vector<char> name(tmpl.begin(), tmpl.end());
        name.push_back('\0');
        fd = ::mkstemp(name.data());
        if (fd < 0) return fail(std::string("Cannot create a file in ") + dir + ": " + std::strerror(errno));
        tmp = name.data();
        // The lock tells other saves this temporary is in use. Another save
        // may have taken it for stale in the instant before: then start anew.
        struct stat st {};
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0) return fail(std::string("Cannot create a file in ") + dir + ".");
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t w = ::write(fd, p + done, size - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            int e = errno;
            ::unlink(tmp.c_str());
            ::close(fd);
            return fail(std::string("Write failed: ") + std::strerror(e));
        }
        done += size_t(w);
    }
    // Keep the permissions of the file being replaced, or the usual 0644.
    ::fchmod(fd, exists ? (existing.st_mode & 07777) : 0644);
    if (::fsync(fd) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        ::close(fd);
        return fail(std::string("Write failed: ") + std::strerror(e));
    }
    // The target is checked once more just before it is replaced: a pipe or
    // device put there meanwhile is still not replaced.
    struct stat now {};
    if (::lstat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        ::unlink(tmp.c_str());
        ::close(fd);
        return fail(path + " is not a regular file (a folder, named pipe, socket or device); it was not replaced.");
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        ::close(fd);
        return fail(std::string("Cannot replace ") + path + ": " + std::strerror(e));
    }
    ::close(fd);  // releases the lock only now that the name is gone
    // The new name reaches the disk with the folder: without this a power cut
    // can bring back the old file, or no file at all.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void IgnoreFileSizeLimitSignal() { std::signal(SIGXFSZ, SIG_IGN); }

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return DirectoryExists(path);
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    std::string out;
    out.reserve(a.size() + b.size() + 1);
    out.append(a);
    size_t skip = 0;
    if (out.back() == '/') {
        if (b.front() == '/') skip = 1;
    } else if (b.front() != '/') {
        out.push_back('/');
    }
    out.append(b, skip, std::string::npos);
    return out;
}

std::string FileNameOf(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || c == '\\' || c == '\0') return false;
    return true;
}
