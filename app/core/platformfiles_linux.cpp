#include "app/core/platformfiles.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

struct TFd
{
    int Value = -1;
    explicit TFd(int fd) : Value(fd) {}
    ~TFd()
    {
        if (Value >= 0)
            ::close(Value);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Release()
    {
        const int fd = Value;
        Value = -1;
        return fd;
    }
};

bool WriteAll(int fd, const std::string& content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a name leads to: a link is followed to its end; no value for a link that leads
// nowhere (or in a loop).
std::optional<std::string> LinkTarget(const std::string& name)
{
    struct stat st
    {
    };
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return name;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(name.c_str(), nullptr),
                                                         &std::free);
    if (!resolved)
        return std::nullopt;
    return std::string(resolved.get());
}

// A new file of a name no other file has, beside target, with the mode a new file gets (0666
// less the umask).
int CreateTemporaryBeside(const std::string& target, std::string& name)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::size_t limit)
{
    // Checked before the open (opening a device can have effects of its own) and again on the
    // descriptor, in case the name changed in between; O_NONBLOCK keeps the open of a FIFO that
    // took its place from waiting for a writer.
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    TFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Value < 0 || ::fstat(fd.Value, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::string content;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.Value, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > limit)
            return std::nullopt;
    }
}

bool ReplaceRegularFile(const std::filesystem::path& path, const std::string& content)
{
    const std::optional<std::string> target = LinkTarget(path.native());
    if (!target)
        return false;
    struct stat st
    {
    };
    const bool exists = ::stat(target->c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return false; // a folder, a device node, a FIFO: never replaced by a file
    if (!exists && errno != ENOENT)
        return false;
    if (!exists) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(*target).parent_path(), ignored);
    }

    std::string temporary;
    TFd fd(CreateTemporaryBeside(*target, temporary));
    if (fd.Value < 0)
        return false;
    // The settings keep the permissions the user gave the old file.
    bool ok = (!exists || ::fchmod(fd.Value, st.st_mode & 07777) == 0) &&
              WriteAll(fd.Value, content) && ::fsync(fd.Value) == 0;
    ok = ::close(fd.Release()) == 0 && ok;
    if (ok)
        ok = ::rename(temporary.c_str(), target->c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

std::optional<TFileReplacement> BeginFileReplacement(const std::filesystem::path& path,
                                                     std::string& error)
{
    const auto reason = [&error](int code) {
        error = std::generic_category().message(code);
        return std::nullopt;
    };
    const std::optional<std::string> target = LinkTarget(path.native());
    if (!target)
        return reason(errno);
    struct stat st
    {
    };
    const bool exists = ::stat(target->c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return reason(errno);
    if (exists && S_ISDIR(st.st_mode))
        return reason(EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        error = "Not a regular file";
        return std::nullopt;
    }
    if (exists) {
        // The file is replaced, not written, but one the user may not write is not replaced
        // either. A regular file: opening it has no effect of its own.
        TFd probe(::open(target->c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (probe.Value < 0)
            return reason(errno);
    }
    std::string temporary;
    TFd fd(CreateTemporaryBeside(*target, temporary));
    if (fd.Value < 0)
        return reason(errno);
    if (exists && ::fchmod(fd.Value, st.st_mode & 07777) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return reason(code);
    }
    return TFileReplacement{*target, temporary, exists};
}

bool CompleteFileReplacement(const TFileReplacement& replacement, std::string& error)
{
    // The content reaches the disk before the name moves, so that a crash leaves the old file
    // or the whole new one.
    TFd fd(::open(replacement.Temporary.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.Value < 0 || ::fsync(fd.Value) != 0 ||
        ::rename(replacement.Temporary.c_str(), replacement.Target.c_str()) != 0) {
        error = std::generic_category().message(errno);
        return false;
    }
    return true;
}

void AbandonFileReplacement(const TFileReplacement& replacement)
{
    ::unlink(replacement.Temporary.c_str());
}
