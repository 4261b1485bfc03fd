#pragma once

#include <windows.h>

// Owns one Win32 handle and closes it. Both of the system's "no handle" values (null from
// CreateEventA, INVALID_HANDLE_VALUE from CreateFileA) count as none.
class TUniqueHandle
{
public:
    TUniqueHandle() = default;
    explicit TUniqueHandle(HANDLE handle) : Handle(handle) {}
    ~TUniqueHandle() { Reset(); }
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;
    TUniqueHandle(TUniqueHandle&& other) noexcept : Handle(other.Release()) {}
    TUniqueHandle& operator=(TUniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    HANDLE Get() const { return Handle; }
    bool Valid() const { return Handle != nullptr && Handle != INVALID_HANDLE_VALUE; }
    HANDLE Release()
    {
        HANDLE h = Handle;
        Handle = nullptr;
        return h;
    }
    void Reset(HANDLE handle = nullptr)
    {
        if (Valid())
            CloseHandle(Handle);
        Handle = handle;
    }

private:
    HANDLE Handle = nullptr;
};
