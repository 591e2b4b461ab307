#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

ReadFileResult ReadWholeFileChecked(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
    out.clear();
    // Opening a named pipe for reading waits for a writer, possibly for ever:
    // the type is checked first, and the open does not block in case the path
    // changed in between.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return kReadCannotOpen;
    if (!S_ISREG(st.st_mode)) return kReadNotAFile;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return kReadCannotOpen;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return kReadNotAFile;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
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

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
    return ReadWholeFileChecked(path, out, maxBytes) == kReadOk;
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (path.empty()) return fail("No file name.");
    std::string dir = ".";
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
    std::string tmpl = JoinPath(dir, "." + FileNameOf(path) + ".XXXXXX");
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return fail(std::string("Cannot create a file in ") + dir + ": " + std::strerror(errno));
    std::string tmp(name.data());
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t w = ::write(fd, p + done, size - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            int e = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            return fail(std::string("Write failed: ") + std::strerror(e));
        }
        done += size_t(w);
    }
    // Keep the permissions of the file being replaced, or the usual 0644.
    struct stat st {};
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    if (::fsync(fd) != 0) {
        int e = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        return fail(std::string("Write failed: ") + std::strerror(e));
    }
    if (::close(fd) != 0) {
        ::unlink(tmp.c_str());
        return fail("Write failed.");
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        return fail(std::string("Cannot replace ") + path + ": " + std::strerror(e));
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
