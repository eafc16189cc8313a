// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>

namespace kavro::platform {

// The operating-system calls through which the real file store reads and writes, each
// a virtual function, so a test can make any step fail the way a full or broken disk
// does (a short write, "No space left on device" from write or fsync, a failed rename)
// and check that the old file survives. The defaults are the system's own calls.
class FileSystemCalls {
public:
    virtual ~FileSystemCalls() = default;

    virtual int open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
    virtual ssize_t read(int descriptor, void* data, size_t size) { return ::read(descriptor, data, size); }
    virtual ssize_t write(int descriptor, const void* data, size_t size) {
        return ::write(descriptor, data, size);
    }
    virtual int fsync(int descriptor) { return ::fsync(descriptor); }
    virtual int close(int descriptor) { return ::close(descriptor); }
    virtual int rename(const char* from, const char* to) { return ::rename(from, to); }

    // The calls as the system makes them.
    static FileSystemCalls& system() {
        static FileSystemCalls calls;
        return calls;
    }
};

} // namespace kavro::platform
