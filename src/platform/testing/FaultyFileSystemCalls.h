// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/file/FileSystemCalls.h"

#include <QHash>
#include <QSet>

#include <optional>

namespace kavro::platform::testing {

// The system's file calls with faults on request, for the tests of the real file store:
// the disk fills up after so many bytes (a short write, then "No space left on device"),
// writes take only a few bytes at a time (legal, and a writer must carry on), or one
// step of a write fails with a chosen error number.
class FaultyFileSystemCalls final : public FileSystemCalls {
public:
    enum class Step {
        createFile, // open with O_CREAT
        write,
        syncFile, // fsync of a file
        close,    // close of a file opened for writing
        rename,
        syncFolder, // fsync of a folder
        read,
    };

    // Every call of that step fails with `errorNumber` until cleared.
    void failAt(Step step, int errorNumber) { m_failures.insert(step, errorNumber); }
    void clearFailures() { m_failures.clear(); }

    // While set, writes stop with ENOSPC once this many more bytes have been written;
    // the write that crosses the line is cut short first, as on a full disk.
    std::optional<qint64> spaceLeft;
    // While set, no write takes more than this many bytes.
    std::optional<size_t> largestWrite;

    int calls(Step step) const { return m_calls.value(step); }

    int open(const char* path, int flags, mode_t mode) override;
    ssize_t read(int descriptor, void* data, size_t size) override;
    ssize_t write(int descriptor, const void* data, size_t size) override;
    int fsync(int descriptor) override;
    int close(int descriptor) override;
    int rename(const char* from, const char* to) override;

private:
    // Counts the call and, when the step is to fail, sets errno and says so.
    bool fails(Step step);

    QHash<Step, int> m_failures;
    QHash<Step, int> m_calls;
    QSet<int> m_folders;
    QSet<int> m_writers;
};

} // namespace kavro::platform::testing
