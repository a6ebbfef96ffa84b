#pragma once
// Owning handle types. Each closes its handle once, in its destructor or on reset, and
// leaves the thread's last error as it found it, so a failure's code survives the
// cleanup on the way out. Move-only. What a handle type closes with, and which value
// means "none" (null for most, INVALID_HANDLE_VALUE for files), is its traits.

#include <windows.h>

#include <utility>

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::none(); }
    // Gives the handle up without closing it.
    Handle release() { return std::exchange(m_handle, Traits::none()); }
    void reset(Handle handle = Traits::none())
    {
        if (m_handle != Traits::none()) {
            const DWORD error = GetLastError();
            Traits::close(m_handle);
            SetLastError(error);
        }
        m_handle = handle;
    }
    // For a call that hands out a handle through a pointer: the old one is closed first.
    Handle* put()
    {
        reset();
        return &m_handle;
    }

private:
    Handle m_handle = Traits::none();
};

// Threads, events and the like: null when none.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    static void close(Handle handle) { CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

// What CreateFile gives: INVALID_HANDLE_VALUE when none.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { CloseHandle(handle); }
};
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

// A GDI object the program created: a font, brush, pen or bitmap.
template <class Object>
struct GdiObjectTraits {
    using Handle = Object;
    static Handle none() { return nullptr; }
    static void close(Handle handle) { DeleteObject(handle); }
};
