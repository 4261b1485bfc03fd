#include "app/core/platformfiles.h"
#include "serial/uniquefd.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

struct TReplacementFile
{
    TUniqueFd Fd;
};

namespace {

using TStat = struct stat;

std::string Reason(int code)
{
    return std::generic_category().message(code);
}

bool WriteAllAt(int fd, const char* data, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, data + done, count - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Closes a descriptor of a written file and tells whether the close reported no error (some
// file systems report a failed write only there).
bool CloseChecked(TUniqueFd& fd)
{
    const int value = fd.Release();
    return value < 0 || ::close(value) == 0;
}

// Makes a rename in folder durable; a file system that cannot sync a folder is no failure.
void SyncFolderOf(const std::filesystem::path& file)
{
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    TUniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        ::fsync(fd.Get());
}

// Whether the system's rule for links in shared folders (fs.protected_symlinks) lets this user
// follow the link `link` describes: in a sticky folder that anyone may write, only a link of the
// user or of the folder's owner is followed. Applied whatever the system's setting, since the
// name is resolved here and not by an open.
bool MayFollowLink(const std::filesystem::path& name, const TStat& link)
{
    const std::filesystem::path folder = name.has_parent_path() ? name.parent_path() : ".";
    TStat dir{};
    if (::stat(folder.c_str(), &dir) != 0)
        return false;
    const bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid;
}

// The file a name stands for, as the system resolves it.
struct TResolved
{
    std::filesystem::path Target; // the name itself, or where its link leads
    bool Exists = false;
    TStat Info{}; // of Target, when it exists
};

// Resolves a trailing link through the system (the name is opened, and the system tells which
// file it reached) rather than by reading the link here, so that the system's own checks apply
// to every link on the way. A link that leads nowhere, or that the rule above refuses, is an
// error.
std::optional<TResolved> Resolve(const std::filesystem::path& path, std::string& error)
{
    TResolved result;
    result.Target = path;
    TStat own{};
    if (::lstat(path.c_str(), &own) != 0) {
        if (errno != ENOENT) {
            error = Reason(errno);
            return std::nullopt;
        }
        return result;
    }
    if (!S_ISLNK(own.st_mode)) {
        result.Exists = true;
        result.Info = own;
        return result;
    }
    if (!MayFollowLink(path, own)) {
        error = Reason(EACCES) + " (a link of another user in a shared folder is not followed)";
        return std::nullopt;
    }
    TUniqueFd fd(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!fd.Valid() || ::fstat(fd.Get(), &result.Info) != 0) {
        error = Reason(errno);
        return std::nullopt;
    }
    char target[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(fd.Get());
    const ssize_t length = ::readlink(self.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
        error = Reason(length < 0 ? errno : ENAMETOOLONG);
        return std::nullopt;
    }
    result.Target = std::string(target, static_cast<std::size_t>(length));
    // The name found must still be that file, and no link (a deleted file has none).
    TStat now{};
    if (::lstat(result.Target.c_str(), &now) != 0 || now.st_dev != result.Info.st_dev ||
        now.st_ino != result.Info.st_ino) {
        error = Reason(ENOENT);
        return std::nullopt;
    }
    result.Exists = true;
    return result;
}

// A new file of a name no other program can foresee, beside target, with the mode a new file
// gets (0666 less the umask).
TUniqueFd CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[8];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
            return {};
        char suffix[2 * sizeof random + 1];
        for (std::size_t i = 0; i < sizeof random; ++i)
            std::snprintf(suffix + 2 * i, 3, "%02x", random[i]);
        name = target;
        name += "." + std::to_string(::getpid()) + "-" + suffix + ".tmp";
        TUniqueFd fd(
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (fd.Valid() || errno != EEXIST)
            return fd;
    }
    return {};
}

// Whether the file at target may be moved over: absent, a regular file, or a link (which the move
// replaces, never follows); a folder, a device or a FIFO that took its place is left alone.
bool StillReplaceable(const std::filesystem::path& target, std::string& error)
{
    TStat now{};
    if (::lstat(target.c_str(), &now) != 0) {
        if (errno == ENOENT)
            return true;
        error = Reason(errno);
        return false;
    }
    if (S_ISREG(now.st_mode) || S_ISLNK(now.st_mode))
        return true;
    error = S_ISDIR(now.st_mode) ? Reason(EISDIR) : "Not a regular file";
    return false;
}

} // namespace

std::optional<TFileStart> ReadRegularFileStart(const std::filesystem::path& path, std::size_t limit)
{
    // Checked before the open (opening a device can have effects of its own) and again on the
    // descriptor, in case the name changed in between; O_NONBLOCK keeps the open of a FIFO that
    // took its place from waiting for a writer. The size stat gives is not trusted (a /proc file
    // says 0): the read itself stops at the bound.
    TStat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    TFileStart start;
    char buffer[65536];
    while (true) {
        // Whole buffers only: some /proc files refuse reads of odd sizes.
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0) {
            start.Whole = true;
            return start;
        }
        start.Content.append(buffer, static_cast<std::size_t>(n));
        if (start.Content.size() > limit) {
            start.Content.resize(limit);
            return start;
        }
    }
}

bool ReplaceRegularFile(const std::filesystem::path& path, const std::string& content)
{
    std::string error;
    const std::optional<TResolved> resolved = Resolve(path, error);
    if (!resolved || (resolved->Exists && !S_ISREG(resolved->Info.st_mode)))
        return false; // a folder, a device node, a FIFO: never replaced by a file
    if (!resolved->Exists) {
        std::error_code ignored;
        std::filesystem::create_directories(resolved->Target.parent_path(), ignored);
    }

    std::filesystem::path temporary;
    TUniqueFd fd = CreateTemporaryBeside(resolved->Target, temporary);
    if (!fd.Valid())
        return false;
    // The settings keep the permissions the user gave the old file.
    bool ok = (!resolved->Exists || ::fchmod(fd.Get(), resolved->Info.st_mode & 0777) == 0) &&
              WriteAllAt(fd.Get(), content.data(), content.size()) && ::fsync(fd.Get()) == 0;
    ok = CloseChecked(fd) && ok;
    ok = ok && StillReplaceable(resolved->Target, error) &&
         ::rename(temporary.c_str(), resolved->Target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    else
        SyncFolderOf(resolved->Target);
    return ok;
}

std::optional<TFileReplacement> BeginFileReplacement(const std::filesystem::path& path,
                                                     std::string& error)
{
    const std::optional<TResolved> resolved = Resolve(path, error);
    if (!resolved)
        return std::nullopt;
    if (resolved->Exists && S_ISDIR(resolved->Info.st_mode)) {
        error = Reason(EISDIR);
        return std::nullopt;
    }
    if (resolved->Exists && !S_ISREG(resolved->Info.st_mode)) {
        error = "Not a regular file";
        return std::nullopt;
    }
    if (resolved->Exists) {
        // The file is replaced, not written, but one the user may not write is not replaced
        // either. A regular file and no link (checked above): opening it has no effect of its
        // own.
        TUniqueFd probe(::open(resolved->Target.c_str(),
                               O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
        if (!probe.Valid()) {
            error = Reason(errno);
            return std::nullopt;
        }
    }
    std::filesystem::path temporary;
    auto file = std::make_shared<TReplacementFile>();
    file->Fd = CreateTemporaryBeside(resolved->Target, temporary);
    if (!file->Fd.Valid()) {
        error = Reason(errno);
        return std::nullopt;
    }
    // Never a set-user or set-group bit: the new file is the user's, not the old file's owner's.
    if (resolved->Exists && ::fchmod(file->Fd.Get(), resolved->Info.st_mode & 0777) != 0) {
        error = Reason(errno);
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    return TFileReplacement{resolved->Target, temporary, resolved->Exists, std::move(file)};
}

long WriteFileReplacement(const TFileReplacement& replacement, const char* data, std::size_t count,
                          std::string& error)
{
    const int fd = replacement.File ? replacement.File->Fd.Get() : -1;
    if (fd < 0) {
        error = Reason(EBADF);
        return -1;
    }
    if (::ftruncate(fd, 0) != 0 || !WriteAllAt(fd, data, count)) {
        error = Reason(errno);
        return -1;
    }
    return static_cast<long>(count);
}

bool CompleteFileReplacement(const TFileReplacement& replacement, std::string& error)
{
    // The content reaches the disk before the name moves, so that a crash leaves the old file
    // or the whole new one.
    if (replacement.File) {
        TUniqueFd& fd = replacement.File->Fd;
        if (fd.Valid() && ::fsync(fd.Get()) != 0) {
            error = Reason(errno);
            return false;
        }
        if (!CloseChecked(fd)) {
            error = Reason(errno);
            return false;
        }
    }
    if (!StillReplaceable(replacement.Target, error))
        return false;
    if (::rename(replacement.Temporary.c_str(), replacement.Target.c_str()) != 0) {
        error = Reason(errno);
        return false;
    }
    SyncFolderOf(replacement.Target);
    return true;
}

void AbandonFileReplacement(const TFileReplacement& replacement)
{
    if (replacement.File)
        replacement.File->Fd.Reset();
    ::unlink(replacement.Temporary.c_str());
}
