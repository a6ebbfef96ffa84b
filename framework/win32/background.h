#pragma once
// One thread that runs tasks one after another, at background priority, for a window
// that must never wait on them. A task works on its own copies of what it needs and asks,
// between steps, whether it should stop. The thread keeps what it shares with its owner
// alive by itself, so the owner can go while a task runs and never waits for it.

#include <functional>
#include <memory>

class CBackgroundThread {
public:
    using Stopping = std::function<bool()>;
    // A task returns false only when stopping() told it to stop part way; one stopped by
    // Hold runs again, first, once the hold ends. A task that raises is dropped.
    using Task = std::function<bool(const Stopping& stopping)>;

    CBackgroundThread();
    // Lets the thread end after the task it runs, without waiting for it.
    ~CBackgroundThread();
    CBackgroundThread(const CBackgroundThread&) = delete;
    CBackgroundThread& operator=(const CBackgroundThread&) = delete;

    // False when the system gives no thread: tasks are then kept and never run.
    bool Start();
    void Post(Task task);
    // Tells the running task to stop and returns once it has returned, which is at most
    // one of its steps: until the matching Resume no task runs. Holds nest.
    void Hold();
    void Resume();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

// Holds a thread's tasks for the scope.
class BackgroundHold {
public:
    explicit BackgroundHold(CBackgroundThread& thread) : m_thread(thread) { m_thread.Hold(); }
    ~BackgroundHold() { m_thread.Resume(); }
    BackgroundHold(const BackgroundHold&) = delete;
    BackgroundHold& operator=(const BackgroundHold&) = delete;

private:
    CBackgroundThread& m_thread;
};
