#pragma once
// What the window learns of its three files in the background: each file's size and
// hashes and, for the source, what each hunk of the loaded patch does to it. One read of
// a file gives all of it, in blocks, on the one background thread; answers come back to
// the window by a posted message. The window's thread never waits on a file for them.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/win32/background.h"
#include "framework/win32/blockfile.h"
#include "ui/facts.h"

// Where a read shows the file it has open, so that a hold can cut its read short.
class ReadSlot {
public:
    void Set(CBlockFile* file);
    void Cut();

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
    CBlockFile* m_file = nullptr;
};

// Reads the file of request for all it asks, in one pass of blocks of at most 1 MiB,
// shared with other programs; a file that changes meanwhile is read again. started is told
// what the first look saw, before the read. False when stopping() said to stop part way.
bool ReadFacts(const ReadRequest& request, const CBackgroundThread::Stopping& stopping, FileFacts& facts,
               const std::function<void(const FileFacts&)>& started = nullptr, ReadSlot* slot = nullptr);

// Streams the output through a scan of the source's format, for the checksums it would
// store and call for; reads the source only when its format has checksums, and never one
// kept online. False when stopping() said to stop part way.
bool WorkOutOutput(const OutputRequest& request, const CBackgroundThread::Stopping& stopping, OutputFacts& facts,
                   ReadSlot* slot = nullptr);

// The window's side: a newer request of a row makes its older one stop.
class CFileReader {
public:
    CFileReader();
    ~CFileReader();
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    // Answers are announced by message to window (no parameters).
    bool Start(HWND window, UINT message);
    void Read(PathRow row, ReadRequest request);
    void WorkOut(std::shared_ptr<const OutputRequest> request);

    struct Answer {
        PathRow row = PathRow::source;
        std::uint64_t request = 0;  // the number of the request answered
        FileFacts facts;
        bool output = false;  // then the answer of WorkOut, in outputFacts
        OutputFacts outputFacts;
    };
    // Every answer that came since the last call, in order.
    std::vector<Answer> TakeAnswers();

    // For its life, the reader holds none of files open: a read of one is cut short and
    // waited for (at most a block), and none starts; reads of other files go on.
    class LetGo {
    public:
        LetGo(CFileReader& reader, std::vector<std::string> files);
        ~LetGo();
        LetGo(const LetGo&) = delete;
        LetGo& operator=(const LetGo&) = delete;

    private:
        CFileReader& m_reader;
        std::vector<std::string> m_files;
    };

private:
    struct Outbox;
    std::shared_ptr<Outbox> m_outbox;
    CBackgroundThread m_thread;
};
