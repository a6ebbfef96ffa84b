#include "sync_probe.h"

#ifdef __linux__
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
bool g_recording = false;
std::string g_watched;
std::vector<SyncRecord> g_records;
}  // namespace

void watchSyncs(const std::string& watched)
{
    g_watched = watched;
    g_records.clear();
    g_recording = true;
}

std::vector<SyncRecord> takeSyncs()
{
    g_recording = false;
    std::vector<SyncRecord> out;
    out.swap(g_records);
    return out;
}

extern "C" int fsync(int fd)
{
    if (g_recording) {
        SyncRecord r;
        char path[4096];
        const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
        r.path.assign(path, n > 0 ? static_cast<std::size_t>(n) : 0);
        struct stat st;
        if (::fstat(fd, &st) == 0) {
            r.folder = S_ISDIR(st.st_mode);
            r.size = static_cast<std::uint64_t>(st.st_size);
            r.file = st.st_ino;
        }
        if (::stat(g_watched.c_str(), &st) == 0)
            r.watched = st.st_ino;
        g_records.push_back(r);
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
#else
void watchSyncs(const std::string&) {}
std::vector<SyncRecord> takeSyncs() { return {}; }
#endif
