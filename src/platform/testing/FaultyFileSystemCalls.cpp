// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/testing/FaultyFileSystemCalls.h"

#include <algorithm>
#include <cerrno>

namespace kavro::platform::testing {

bool FaultyFileSystemCalls::fails(Step step) {
    ++m_calls[step];
    const auto it = m_failures.constFind(step);
    if (it == m_failures.constEnd()) {
        return false;
    }
    errno = *it;
    return true;
}

int FaultyFileSystemCalls::open(const char* path, int flags, mode_t mode) {
    if ((flags & O_CREAT) != 0 && fails(Step::createFile)) {
        return -1;
    }
    const int descriptor = FileSystemCalls::open(path, flags, mode);
    if (descriptor >= 0) {
        if ((flags & O_DIRECTORY) != 0) {
            m_folders.insert(descriptor);
        } else if ((flags & O_ACCMODE) != O_RDONLY) {
            m_writers.insert(descriptor);
        }
    }
    return descriptor;
}

ssize_t FaultyFileSystemCalls::read(int descriptor, void* data, size_t size) {
    if (fails(Step::read)) {
        return -1;
    }
    return FileSystemCalls::read(descriptor, data, size);
}

ssize_t FaultyFileSystemCalls::write(int descriptor, const void* data, size_t size) {
    if (fails(Step::write)) {
        return -1;
    }
    if (largestWrite) {
        size = std::min(size, *largestWrite);
    }
    if (spaceLeft) {
        if (*spaceLeft <= 0) {
            errno = ENOSPC;
            return -1;
        }
        size = std::min(size, static_cast<size_t>(*spaceLeft));
    }
    const ssize_t written = FileSystemCalls::write(descriptor, data, size);
    if (spaceLeft && written > 0) {
        *spaceLeft -= written;
    }
    return written;
}

int FaultyFileSystemCalls::fsync(int descriptor) {
    if (fails(m_folders.contains(descriptor) ? Step::syncFolder : Step::syncFile)) {
        return -1;
    }
    return FileSystemCalls::fsync(descriptor);
}

int FaultyFileSystemCalls::close(int descriptor) {
    const bool folder = m_folders.remove(descriptor);
    const bool writer = m_writers.remove(descriptor);
    const int result = FileSystemCalls::close(descriptor);
    // As on Linux, the descriptor is gone even when close reports an error.
    if (writer && !folder && fails(Step::close)) {
        return -1;
    }
    return result;
}

int FaultyFileSystemCalls::rename(const char* from, const char* to) {
    if (fails(Step::rename)) {
        return -1;
    }
    return FileSystemCalls::rename(from, to);
}

} // namespace kavro::platform::testing
