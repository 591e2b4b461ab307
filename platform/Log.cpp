#include "platform/Log.h"

#include "platform/Files.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unistd.h>
#include <vector>

void LogInfo(const std::string& text) {
    std::cout << "[INFO] " << text << '\n';
    std::cout.flush();
}

void LogError(const std::string& text) {
    std::cerr << "[ERROR] " << text << '\n';
    std::cerr.flush();
}

namespace {
std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}
}  // namespace

std::string GetDocumentsFolder() {
    if (const char* d = std::getenv("XDG_DOCUMENTS_DIR"); d && *d) return Trim(d);
    const char* home = std::getenv("HOME");
    if (FILE* p = ::popen("xdg-user-dir DOCUMENTS 2>/dev/null", "r")) {
        char buf[4096];
        std::string out;
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
        out = Trim(out);
        // xdg-user-dir answers $HOME itself when nothing is configured.
        if (!out.empty() && out.front() == '/' && !(home && out == Trim(home))) return out;
    }
    if (home && *home) return JoinPath(Trim(home), "Documents");
    return {};
}

std::string GetAppDocumentsPath(const std::string& fileName, const std::string& subfolder) {
    std::string docs = GetDocumentsFolder();
    if (docs.empty()) return {};
    std::string path = JoinPath(docs, "Plindrow");
    if (!subfolder.empty()) path = JoinPath(path, subfolder);
    CreateDirectories(path);  // a failure shows in the caller's later file operations
    if (!fileName.empty()) return JoinPath(path, fileName);
    return path;
}

std::string GetProgramFolder() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return ".";
        if (size_t(n) < buf.size()) {
            std::string exe(buf.data(), size_t(n));
            size_t p = exe.find_last_of('/');
            return p == std::string::npos ? "." : (p == 0 ? "/" : exe.substr(0, p));
        }
        buf.resize(buf.size() * 2);
    }
}
