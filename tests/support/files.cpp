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
#include <system_error>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#else
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
#else
constexpr char kSeparator = '/';
constexpr const char* kSeparators = "/";
std::size_t rootEnd(const std::string&) { return 0; }
bool createFolder(const std::string& folder) { return ::mkdir(folder.c_str(), 0777) == 0; }
#endif

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
    std::error_code error, ignored;
    // A read-only file (a test that stopped half way may leave one) would refuse removal.
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(folder, error);
    if (error)
        throw std::runtime_error("cannot empty " + folder + ": " + error.message());
    makeFolder(folder);
}

std::vector<std::string> listFolder(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error))
        names.push_back(it->path().filename().string());
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

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

}  // namespace support
