#pragma once

#include <atomic>
#include <utility>

// Owns one file descriptor and closes it. The number is atomic so that a thread waiting on the
// device may read it while the owner closes it.
class TUniqueFd
{
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : Fd(fd) {}
    ~TUniqueFd() { Reset(); }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    TUniqueFd(TUniqueFd&& other) noexcept : Fd(other.Release()) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    int Get() const { return Fd.load(std::memory_order_relaxed); }
    bool Valid() const { return Get() >= 0; }
    int Release() { return Fd.exchange(-1); }
    void Reset(int fd = -1);

private:
    std::atomic<int> Fd{-1};
};
