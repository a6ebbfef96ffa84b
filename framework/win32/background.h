#pragma once
// One thread that runs tasks one after another, at background priority, for a window
// that must never wait on them. A task works on its own copies of what it needs and asks,
// between steps, whether it should stop. The thread keeps what it shares with its owner
// alive by itself, so the owner can go while a task runs and never waits for it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CBackgroundThread {
public:
    using Stopping = std::function<bool()>;
    // What a task came to: done with (answered, or no longer wanted), or stopped part way
    // by a hold, to run again, first, once the hold ends.
    enum class End { done, again };
    using Task = std::function<End(const Stopping& stopping)>;

    CBackgroundThread();
    // Lets the thread end after the task it runs, without waiting for it.
    ~CBackgroundThread();
    CBackgroundThread(const CBackgroundThread&) = delete;
    CBackgroundThread& operator=(const CBackgroundThread&) = delete;

    // False when the system gives no thread: tasks are then kept and never run.
    bool Start();
    // A task that reads file (by name; empty for none). A task that raises is done with.
    void Post(std::string file, Task task);
    // Until the matching Resume, no task on one of files (names as posted, letter case
    // aside) runs: the one running is told to stop, cut (cut short its read, called from
    // this thread), and waited for, which is at most one of its steps. Others run on.
    // Holds nest.
    void Hold(const std::vector<std::string>& files, const std::function<void()>& cut);
    void Resume(const std::vector<std::string>& files);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};
