#include "ui/filereader.h"

#include <atomic>
#include <memory>
#include <new>

#include "framework/win32/filehashes.h"
#include "framework/win32/filelook.h"
#include "patch/conflict.h"
#include "patch/crc32.h"
#include "patch/output.h"

namespace {

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

// The relations of a scan, kept apart so that running out of memory for them leaves the
// hashes: the hunks then say nothing of the file.
class Relating {
public:
    Relating(const ReadRequest& request, std::uint64_t size, bool wanted) : m_hunks(request.hunks)
    {
        if (!wanted)
            return;
        try {
            m_scan.reset(new RelationScan(*m_hunks, size));
        } catch (const std::bad_alloc&) {
            m_failed = true;
        }
    }
    bool Wanted() const { return m_scan != nullptr; }
    std::uint64_t First() const { return m_scan->First(); }
    std::uint64_t End() const { return m_scan->End(); }
    void Add(std::uint64_t at, const unsigned char* data, std::size_t size)
    {
        if (!m_scan)
            return;
        try {
            m_scan->Add(at, data, size);
        } catch (const std::bad_alloc&) {
            m_scan.reset();
            m_failed = true;
        }
    }
    void Finish(FileFacts& facts)
    {
        try {
            // A file that ended early leaves hunks unread: no relations then, and the
            // file's identity after the read says why.
            if (m_scan && m_scan->Complete()) {
                facts.relations = m_scan->Finish();
                facts.relationsOf = m_hunks;
            }
        } catch (const std::bad_alloc&) {
            m_failed = true;
        }
        if (m_failed) {
            facts.relations.clear();
            facts.relationsOf = m_hunks;
            facts.relationsFailed = true;
        }
    }

private:
    std::shared_ptr<const HunkSnapshot> m_hunks;
    std::unique_ptr<RelationScan> m_scan;
    bool m_failed = false;
};

// The file's bytes where hunks of different patches meet, as the blocks go by.
class SpanCapture {
public:
    SpanCapture(const ReadRequest& request, std::uint64_t size, bool wanted)
    {
        if (wanted && request.spans)
            m_bytes.reset(new SpanBytes(*request.spans, size));
    }
    void Add(std::uint64_t at, const unsigned char* data, std::size_t size)
    {
        if (m_bytes)
            m_bytes->Add(at, data, size);
    }
    void Finish(FileFacts& facts)
    {
        if (m_bytes && m_bytes->Complete())
            facts.spanBytes = m_bytes->Take();
    }

private:
    std::unique_ptr<SpanBytes> m_bytes;
};

// Shows the open file in the slot for the scope.
class InSlot {
public:
    InSlot(ReadSlot* slot, CBlockFile& file) : m_slot(slot)
    {
        if (m_slot)
            m_slot->Set(&file);
    }
    ~InSlot()
    {
        if (m_slot)
            m_slot->Set(nullptr);
    }
    InSlot(const InSlot&) = delete;
    InSlot& operator=(const InSlot&) = delete;

private:
    ReadSlot* m_slot;
};

enum class Read { whole, stopped, failed, changed };

// One read of the file that looked as before looked. The file's identity from the open
// handle, before and after, and from its name once more after, must all be before's.
Read readOnce(const ReadRequest& request, const PathLook& before, bool hash, bool relate,
              const CBackgroundThread::Stopping& stopping, ReadSlot* slot, FileFacts& facts)
{
    const std::uint64_t size = before.identity.size;
    Relating relating(request, size, relate);
    std::uint64_t from = 0, to = size;
    if (!hash) {
        from = relating.Wanted() ? relating.First() : 0;
        to = relating.Wanted() ? std::min(relating.End(), size) : 0;
    }
    Hashing hashing(hash && size % 1024 == kCopierHeader);
    RomScan rom(size);
    SpanCapture spans(request, size, relate);
    if (from < to || hash) {
        CBlockFile file;
        FileIdentity opened, closing;
        if (!file.Open(request.path.c_str()))
            return Read::failed;
        if (!file.GetIdentity(opened) || opened != before.identity)
            return Read::changed;
        InSlot shown(slot, file);
        std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
        for (std::uint64_t at = from; at < to;) {
            if (stopping())
                return Read::stopped;
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, to - at));
            std::size_t got = 0;
            if (!file.Read(at, block.get(), want, got))
                return stopping() ? Read::stopped : Read::failed;
            if (got == 0)
                break;  // shrunk meanwhile: its identity says so
            if (hash) {
                hashing.add(at, block.get(), got);
                rom.Add(block.get(), got);
            }
            relating.Add(at, block.get(), got);
            spans.Add(at, block.get(), got);
            at += got;
        }
        if (!file.GetIdentity(closing) || closing != opened)
            return Read::changed;
    }
    // Replaced by a rename while it was read: the name leads to another file now.
    const PathLook after = LookAtPath(request.path);
    if (after != before)
        return Read::changed;
    facts.seen = after;
    if (hash) {
        hashing.finish(facts);
        facts.rom = rom.Finish();
    }
    relating.Finish(facts);
    spans.Finish(facts);
    return Read::whole;
}

}  // namespace

void ReadSlot::Set(CBlockFile* file)
{
    AcquireSRWLockExclusive(&m_lock);
    m_file = file;
    ReleaseSRWLockExclusive(&m_lock);
}

void ReadSlot::Cut()
{
    AcquireSRWLockExclusive(&m_lock);
    if (m_file)
        m_file->Cancel();
    ReleaseSRWLockExclusive(&m_lock);
}

bool ReadFacts(const ReadRequest& request, const CBackgroundThread::Stopping& stopping, FileFacts& facts,
               const std::function<void(const FileFacts&)>& started, ReadSlot* slot)
{
    using State = FileFacts::State;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        facts = FileFacts();
        const PathLook before = LookAtPath(request.path);
        facts.seen = before;
        if (before.look != FileLook::found) {
            facts.state = before.look == FileLook::missing ? State::missing : State::unreadable;
            return true;
        }
        if (before.keptOnline) {
            facts.state = State::online;
            return true;
        }
        if (started && attempt == 0) {
            facts.state = State::started;
            started(facts);
        }
        const bool known = request.hashedAt && *request.hashedAt == before;
        const bool hash = !known && before.identity.size <= kHashLimit;
        const bool relate = request.hunks && !(known && request.relationsKnown);
        facts.state = known ? State::unchanged : hash ? State::hashed : State::tooLarge;
        if (!hash && !relate)
            return true;
        const State state = facts.state;
        switch (readOnce(request, before, hash, relate, stopping, slot, facts)) {
        case Read::whole: facts.state = state; return true;
        case Read::stopped: return false;
        case Read::failed:
            facts = FileFacts();
            facts.seen = before;
            facts.state = State::unreadable;
            return true;
        case Read::changed: break;
        }
    }
    // It changed under every read.
    facts = FileFacts();
    facts.seen = LookAtPath(request.path);
    facts.state = State::unreadable;
    return true;
}

bool WorkOutOutput(const OutputRequest& request, const CBackgroundThread::Stopping& stopping, OutputFacts& facts,
                   ReadSlot* slot)
{
    facts = OutputFacts();
    const std::uint64_t sourceSize = request.seen.identity.size;
    const PatchOutput output(*request.hunks, request.ticked, sourceSize);
    facts.size = output.Size();
    if (request.rom.checksums.empty()) {
        facts.known = true;
        return true;
    }
    const PathLook before = LookAtPath(request.source);
    if (before != request.seen || before.keptOnline)
        return true;  // not the file the window knows: the window reads it again
    CBlockFile file;
    FileIdentity opened;
    if (!file.Open(request.source.c_str()) || !file.GetIdentity(opened) || opened != before.identity)
        return true;
    InSlot shown(slot, file);
    RomScan scan(output.Size(), request.rom);
    std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
    for (std::uint64_t at = 0; at < output.Size();) {
        if (stopping())
            return false;
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, output.Size() - at));
        std::size_t got = 0;
        if (at < sourceSize &&
            !file.Read(at, block.get(), static_cast<std::size_t>(std::min<std::uint64_t>(size, sourceSize - at)), got))
            return stopping() ? false : true;
        std::fill(block.get() + got, block.get() + size, 0);  // past the source's end
        output.Overlay(at, block.get(), size);
        scan.Add(block.get(), size);
        at += size;
    }
    FileIdentity closing;
    if (!file.GetIdentity(closing) || closing != opened || LookAtPath(request.source) != before)
        return true;  // changed meanwhile: not what Patch would write now
    facts.checksumLines = OutputChecksumLines(request.rom, scan.Finish());
    facts.known = true;
    return true;
}

// What the reader's tasks share with the window: the answers on their way, the latest
// request of each row, and the file a read has open.
struct CFileReader::Outbox {
    SRWLOCK lock = SRWLOCK_INIT;
    HWND window = nullptr;  // null once the window has gone
    UINT message = 0;
    std::vector<Answer> answers;
    bool announced = false;  // a message is on its way for the answers
    std::atomic<std::uint64_t> latest[kPathRows + 1] = {};  // the rows', then the output's
    ReadSlot slot;

    void post(Answer answer)
    {
        AcquireSRWLockExclusive(&lock);
        if (window) {
            answers.push_back(std::move(answer));
            // One message for any number of answers: the window takes them all at once.
            // A queue too full to take it now may take it in a moment; past that, the
            // next answer, or the window's own timer, takes them.
            for (int tries = 0; !announced && tries < 20; ++tries) {
                announced = PostMessageA(window, message, 0, 0) != 0;
                if (!announced) {
                    ReleaseSRWLockExclusive(&lock);
                    Sleep(50);
                    AcquireSRWLockExclusive(&lock);
                    if (!window)
                        break;
                }
            }
        }
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
    m_outbox->latest[r] = request.number;
    std::string file = request.path;
    m_thread.Post(std::move(file), [outbox = m_outbox, row, request = std::move(request)](
                                        const CBackgroundThread::Stopping& stopping) {
        const int r = static_cast<int>(row);
        const auto replaced = [&] { return outbox->latest[r].load() != request.number; };
        FileFacts facts;
        bool read = true;
        try {
            read = ReadFacts(
                request, [&] { return stopping() || replaced(); }, facts,
                [&](const FileFacts& started) { outbox->post({row, request.number, started}); }, &outbox->slot);
        } catch (...) {
            facts = FileFacts();  // out of memory, most likely: an answer all the same
            facts.state = FileFacts::State::unreadable;
        }
        if (!read)
            return replaced() ? CBackgroundThread::End::done : CBackgroundThread::End::again;
        if (!replaced())
            outbox->post({row, request.number, std::move(facts)});
        return CBackgroundThread::End::done;
    });
}

void CFileReader::WorkOut(std::shared_ptr<const OutputRequest> shared)
{
    m_outbox->latest[kPathRows] = shared->number;
    m_thread.Post(shared->source, [outbox = m_outbox, shared](const CBackgroundThread::Stopping& stopping) {
        const auto replaced = [&] { return outbox->latest[kPathRows].load() != shared->number; };
        Answer answer;
        answer.request = shared->number;
        answer.output = true;
        bool done = true;
        try {
            done = WorkOutOutput(*shared, [&] { return stopping() || replaced(); }, answer.outputFacts, &outbox->slot);
        } catch (...) {
            answer.outputFacts = OutputFacts();
        }
        if (!done)
            return replaced() ? CBackgroundThread::End::done : CBackgroundThread::End::again;
        if (!replaced())
            outbox->post(std::move(answer));
        return CBackgroundThread::End::done;
    });
}

std::vector<CFileReader::Answer> CFileReader::TakeAnswers()
{
    std::vector<Answer> answers;
    AcquireSRWLockExclusive(&m_outbox->lock);
    answers.swap(m_outbox->answers);
    m_outbox->announced = false;
    ReleaseSRWLockExclusive(&m_outbox->lock);
    return answers;
}

CFileReader::LetGo::LetGo(CFileReader& reader, std::vector<std::string> files)
    : m_reader(reader), m_files(std::move(files))
{
    const std::shared_ptr<Outbox> outbox = m_reader.m_outbox;
    m_reader.m_thread.Hold(m_files, [outbox] { outbox->slot.Cut(); });
}

CFileReader::LetGo::~LetGo() { m_reader.m_thread.Resume(m_files); }
