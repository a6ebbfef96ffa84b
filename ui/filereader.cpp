#include "ui/filereader.h"

#include <atomic>
#include <memory>

#include "framework/file.h"
#include "patch/crc32.h"
#include "patch/output.h"

namespace {

AttributesCall g_attributes = GetFileAttributesExA;

constexpr std::size_t kBlock = 1 << 20;
constexpr std::uint64_t kCopierHeader = 512;
constexpr int kTries = 3;  // reads of a file that keeps changing, before it counts as unreadable

// A file's hashes as its bytes come: all of them, and those from the copier header's end.
class Hashing {
public:
    explicit Hashing(bool headerless)
    {
        if (headerless)
            m_headerless.reset(new Part);
    }
    void add(std::uint64_t offset, const unsigned char* data, std::size_t size)
    {
        m_whole.add(data, size);
        if (m_headerless && offset + size > kCopierHeader) {
            const std::size_t skip = offset < kCopierHeader ? static_cast<std::size_t>(kCopierHeader - offset) : 0;
            m_headerless->add(data + skip, size - skip);
        }
    }
    void finish(FileFacts& facts)
    {
        facts.whole = m_whole.finish();
        if (m_headerless)
            facts.headerless = m_headerless->finish();
    }

private:
    struct Part {
        Crc32 crc;
        CDigester digests;
        void add(const unsigned char* data, std::size_t size)
        {
            crc.Add(data, size);
            digests.Add(data, size);
        }
        FileHashes finish() { return {crc.Value(), digests.Finish()}; }
    };
    Part m_whole;
    std::unique_ptr<Part> m_headerless;
};

// One read of the file as it stands at stamp. False when stopped part way; facts.state
// unreadable when it cannot be read.
bool readOnce(const ReadRequest& request, const FileStamp& stamp, bool hash, bool relate,
              const CBackgroundThread::Stopping& stopping, FileFacts& facts)
{
    std::unique_ptr<RelationScan> scan;
    if (relate)
        scan.reset(new RelationScan(*request.hunks, stamp.size));
    std::uint64_t from = 0, to = stamp.size;
    if (!hash) {
        from = scan->First();
        to = std::min(scan->End(), stamp.size);
    }
    Hashing hashing(hash && stamp.size % 1024 == kCopierHeader);
    RomScan rom(stamp.size);
    if (from < to || hash) {
        CFile file;
        if (!file.Open(request.path.c_str(), CFile::modeReadShared)) {
            facts.state = FileFacts::State::unreadable;
            return true;
        }
        std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
        try {
            file.Seek(from);
            for (std::uint64_t at = from; at < to;) {
                if (stopping())
                    return false;
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, to - at));
                const std::size_t got = file.Read(block.get(), want);
                if (got == 0)
                    break;  // shrunk meanwhile: the stamp after the read says so
                if (hash) {
                    hashing.add(at, block.get(), got);
                    rom.Add(block.get(), got);
                }
                if (scan)
                    scan->Add(at, block.get(), got);
                at += got;
            }
        } catch (const CFileException&) {
            facts.state = FileFacts::State::unreadable;
            return true;
        }
    }
    if (hash) {
        hashing.finish(facts);
        facts.rom = rom.Finish();
    }
    // A file that ended early, within its time's resolution, leaves hunks unread: no
    // relations then, and the window asks again.
    if (scan && scan->Complete()) {
        facts.relationsOf = request.hunks;
        facts.relations = scan->Finish();
    }
    return true;
}

}  // namespace

FileStamp StampOf(const WIN32_FILE_ATTRIBUTE_DATA& data)
{
    return {(std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow, data.ftLastWriteTime};
}

bool KeptOnline(DWORD attributes)
{
    // As the Windows 10 SDK has them; older headers lack the two that cloud drives set.
    constexpr DWORD kRecallOnOpen = 0x00040000, kRecallOnDataAccess = 0x00400000;
    return (attributes & (FILE_ATTRIBUTE_OFFLINE | kRecallOnOpen | kRecallOnDataAccess)) != 0;
}

AttributesCall SetReaderAttributesCall(AttributesCall call)
{
    const AttributesCall previous = g_attributes;
    g_attributes = call ? call : GetFileAttributesExA;
    return previous;
}

bool ReadFacts(const ReadRequest& request, const CBackgroundThread::Stopping& stopping, FileFacts& facts)
{
    using State = FileFacts::State;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        facts = FileFacts();
        WIN32_FILE_ATTRIBUTE_DATA before;
        if (!g_attributes(request.path.c_str(), GetFileExInfoStandard, &before)) {
            const DWORD error = GetLastError();
            facts.state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? State::missing
                                                                                          : State::unreadable;
            return true;
        }
        if (before.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return true;  // unreadable
        facts.stamp = StampOf(before);
        if (KeptOnline(before.dwFileAttributes)) {
            facts.state = State::online;
            return true;
        }
        const bool known = request.hashedAt && *request.hashedAt == facts.stamp;
        const bool hash = !known && facts.stamp.size <= kHashLimit;
        const bool relate = request.hunks && !(known && request.relationsKnown);
        facts.state = known ? State::unchanged : hash ? State::hashed : State::tooLarge;
        if (!hash && !relate)
            return true;
        if (!readOnce(request, facts.stamp, hash, relate, stopping, facts))
            return false;
        if (facts.state == State::unreadable)
            return true;
        WIN32_FILE_ATTRIBUTE_DATA after;
        if (g_attributes(request.path.c_str(), GetFileExInfoStandard, &after) && StampOf(after) == facts.stamp)
            return true;
    }
    facts = FileFacts();  // it changed under every read
    return true;
}

bool WorkOutOutput(const OutputRequest& request, const CBackgroundThread::Stopping& stopping, OutputFacts& facts)
{
    facts = OutputFacts();
    const PatchOutput output(*request.hunks, request.ticked, request.stamp.size);
    facts.size = output.Size();
    if (request.rom.checksums.empty()) {
        facts.known = true;
        return true;
    }
    CFile file;
    if (!file.Open(request.source.c_str(), CFile::modeReadShared))
        return true;
    RomScan scan(output.Size(), request.rom);
    std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
    try {
        for (std::uint64_t at = 0; at < output.Size();) {
            if (stopping())
                return false;
            const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, output.Size() - at));
            std::size_t got = 0;
            if (at < request.stamp.size)
                got = file.Read(block.get(), static_cast<std::size_t>(std::min<std::uint64_t>(size, request.stamp.size - at)));
            std::fill(block.get() + got, block.get() + size, 0);  // past the source's end
            output.Overlay(at, block.get(), size);
            scan.Add(block.get(), size);
            at += size;
        }
    } catch (const CFileException&) {
        return true;
    }
    file.Abort();
    WIN32_FILE_ATTRIBUTE_DATA after;
    if (!g_attributes(request.source.c_str(), GetFileExInfoStandard, &after) || StampOf(after) != request.stamp)
        return true;  // changed meanwhile: not what Patch would write now
    facts.checksumLines = OutputChecksumLines(request.rom, scan.Finish());
    facts.known = true;
    return true;
}

// What the reader's tasks share with the window: the answers on their way, and which
// request of each row is the latest.
struct CFileReader::Outbox {
    SRWLOCK lock = SRWLOCK_INIT;
    HWND window = nullptr;  // null once the window has gone
    UINT message = 0;
    struct Posted {
        unsigned generation;
        Answer answer;
    };
    std::vector<Posted> answers;
    std::atomic<unsigned> generation[kPathRows + 1] = {};  // the rows', then the output's

    void post(unsigned generation, Answer answer)
    {
        AcquireSRWLockExclusive(&lock);
        const bool first = answers.empty();
        if (window)
            answers.push_back({generation, std::move(answer)});
        // One message for any number of answers: the window takes them all at once.
        if (window && first)
            PostMessageA(window, message, 0, 0);
        ReleaseSRWLockExclusive(&lock);
    }
};

CFileReader::CFileReader() : m_outbox(std::make_shared<Outbox>()) {}

CFileReader::~CFileReader()
{
    AcquireSRWLockExclusive(&m_outbox->lock);
    m_outbox->window = nullptr;
    m_outbox->answers.clear();
    ReleaseSRWLockExclusive(&m_outbox->lock);
}

bool CFileReader::Start(HWND window, UINT message)
{
    m_outbox->window = window;
    m_outbox->message = message;
    return m_thread.Start();
}

void CFileReader::Read(PathRow row, ReadRequest request)
{
    const int r = static_cast<int>(row);
    const unsigned generation = ++m_outbox->generation[r];
    m_pending[r] = true;
    m_thread.Post([outbox = m_outbox, row, generation, request = std::move(request)](
                      const CBackgroundThread::Stopping& stopping) {
        const int r = static_cast<int>(row);
        const auto replaced = [&] { return outbox->generation[r].load() != generation; };
        FileFacts facts;
        if (!ReadFacts(request, [&] { return stopping() || replaced(); }, facts))
            return replaced();  // a replaced request is done with; a held one runs again
        if (!replaced())
            outbox->post(generation, {row, request.path, std::move(facts)});
        return true;
    });
}

void CFileReader::WorkOut(std::shared_ptr<const OutputRequest> shared)
{
    const unsigned generation = ++m_outbox->generation[kPathRows];
    m_thread.Post([outbox = m_outbox, generation, shared](const CBackgroundThread::Stopping& stopping) {
        const auto replaced = [&] { return outbox->generation[kPathRows].load() != generation; };
        Answer answer{PathRow::source, shared->source, {}, true, {}, shared};
        if (!WorkOutOutput(*shared, [&] { return stopping() || replaced(); }, answer.outputFacts))
            return replaced();
        if (!replaced())
            outbox->post(generation, std::move(answer));
        return true;
    });
}

void CFileReader::Forget(PathRow row)
{
    ++m_outbox->generation[static_cast<int>(row)];
    m_pending[static_cast<int>(row)] = false;
}

std::vector<CFileReader::Answer> CFileReader::TakeAnswers()
{
    std::vector<Outbox::Posted> posted;
    AcquireSRWLockExclusive(&m_outbox->lock);
    posted.swap(m_outbox->answers);
    ReleaseSRWLockExclusive(&m_outbox->lock);
    std::vector<Answer> answers;
    for (Outbox::Posted& p : posted) {
        const int r = p.answer.output ? kPathRows : static_cast<int>(p.answer.row);
        if (p.generation != m_outbox->generation[r].load())
            continue;
        if (!p.answer.output)
            m_pending[r] = false;
        answers.push_back(std::move(p.answer));
    }
    return answers;
}
