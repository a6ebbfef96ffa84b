#include "tests/support/files.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

namespace support {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr const char* kSeparators = "\\/";
// Where a path's drive ends ("C:" in "C:\dir"): parents are made only past it.
std::size_t rootEnd(const std::string& path) { return path.size() > 1 && path[1] == ':' ? 2 : 0; }
bool createFolder(const std::string& folder) { return _mkdir(folder.c_str()) == 0; }
bool removeFolder(const std::string& folder) { return _rmdir(folder.c_str()) == 0; }
void makeWritable(const std::string& path) { _chmod(path.c_str(), _S_IREAD | _S_IWRITE); }
#else
constexpr char kSeparator = '/';
constexpr const char* kSeparators = "/";
std::size_t rootEnd(const std::string&) { return 0; }
bool createFolder(const std::string& folder) { return ::mkdir(folder.c_str(), 0777) == 0; }
bool removeFolder(const std::string& folder) { return ::rmdir(folder.c_str()) == 0; }
void makeWritable(const std::string& path) { ::chmod(path.c_str(), 0666); }
#endif

struct Entry {
    std::string name;
    bool folder;  // a folder of its own, not a link to one
};

// The entries of folder but "." and "..", through the same 8-bit calls as the files.
std::vector<Entry> entriesOf(const std::string& folder)
{
    std::vector<Entry> entries;
#ifdef _WIN32
    _finddata_t found;
    const intptr_t search = _findfirst(joinPath(folder, "*").c_str(), &found);
    if (search == -1)
        return entries;
    do {
        entries.push_back({found.name, (found.attrib & _A_SUBDIR) != 0});
    } while (_findnext(search, &found) == 0);
    _findclose(search);
#else
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return entries;
    while (const dirent* found = ::readdir(dir)) {
        struct stat st;
        const std::string name = found->d_name;
        entries.push_back({name, ::lstat(joinPath(folder, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)});
    }
    ::closedir(dir);
#endif
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const Entry& e) { return e.name == "." || e.name == ".."; }),
                  entries.end());
    return entries;
}

// Removes folder with everything in it, read-only files included (a test that stopped
// half way may leave one).
void removeTree(const std::string& folder)
{
    for (const Entry& entry : entriesOf(folder)) {
        const std::string path = joinPath(folder, entry.name);
        if (entry.folder) {
            removeTree(path);
        } else {
            makeWritable(path);
            std::remove(path.c_str());
        }
    }
    removeFolder(folder);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

Bytes randomBytes(std::size_t n, std::uint32_t seed)
{
    Bytes out(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

Bytes readFile(const std::string& path)
{
    FileHandle f(std::fopen(path.c_str(), "rb"));
    if (!f)
        throw std::runtime_error("cannot read " + path);
    Bytes bytes;
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    if (std::ferror(f.get()))
        throw std::runtime_error("short read of " + path);
    return bytes;
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    FileHandle f(std::fopen(path.c_str(), "wb"));
    if (!f)
        throw std::runtime_error("cannot write " + path);
    const bool whole = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    if (std::fclose(f.release()) != 0 || !whole)
        throw std::runtime_error("short write of " + path);
}

bool fileExists(const std::string& path) { return access(path.c_str(), 0) == 0; }

void removeFile(const std::string& path)
{
    if (std::remove(path.c_str()) != 0 && fileExists(path))
        throw std::runtime_error("cannot remove " + path);
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || std::strchr(kSeparators, folder.back()))
        return folder + name;
    return folder + kSeparator + name;
}

void makeFolder(const std::string& folder)
{
    if (folder.empty() || fileExists(folder))
        return;
    const std::size_t cut = folder.find_last_of(kSeparators);
    if (cut != std::string::npos && cut > rootEnd(folder))
        makeFolder(folder.substr(0, cut));
    if (!createFolder(folder) && !fileExists(folder))
        throw std::runtime_error("cannot create folder " + folder);
}

void emptyFolder(const std::string& folder)
{
    removeTree(folder);
    if (fileExists(folder))
        throw std::runtime_error("cannot empty " + folder);
    makeFolder(folder);
}

std::vector<std::string> listFolder(const std::string& folder)
{
    std::vector<std::string> names;
    for (const Entry& entry : entriesOf(folder))
        names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

ScratchDir::ScratchDir(const std::string& prefix)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string temp = fs::temp_directory_path().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate =
            joinPath(temp, prefix + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (createFolder(candidate)) {
            m_folder = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch folder in " + temp);
}

ScratchDir::~ScratchDir() { removeTree(m_folder); }

}  // namespace support
