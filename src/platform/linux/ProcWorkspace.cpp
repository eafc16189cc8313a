// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/ProcWorkspace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kavro::platform {

namespace {

// A process is named once when first seen and once more on the next scan: wrapper
// scripts (a shell running "ardour8") exec the real program within moments, under
// the same process id.
constexpr std::uint8_t kNamings = 2;

// Reads a small /proc file whole; empty when it cannot be read.
QByteArray readSmallFile(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    char buffer[4096];
    const ssize_t length = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return length > 0 ? QByteArray(buffer, length) : QByteArray();
}

QString baseName(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return QString::fromUtf8(slash < 0 ? path : path.mid(slash + 1));
}

// "ardour-7.3.0~ds0" and "ardour8" are "ardour": installed workstations often carry
// their version in the executable's name. The version is the shortest tail that starts
// with a digit (after an optional "-" or "_") and holds only version characters.
QString withoutVersion(const QString& name) {
    const auto isVersionCharacter = [](QChar c) {
        return c.isLetterOrNumber() || c == u'.' || c == u'~' || c == u'+' || c == u'-' || c == u'_';
    };
    qsizetype tailStart = name.size();
    while (tailStart > 0 && isVersionCharacter(name[tailStart - 1])) {
        --tailStart;
    }
    for (qsizetype i = std::max<qsizetype>(tailStart, 1); i < name.size(); ++i) {
        if (name[i].isDigit()) {
            const bool separated = i >= 2 && (name[i - 1] == u'-' || name[i - 1] == u'_');
            return name.left(separated ? i - 1 : i);
        }
    }
    return {};
}

// The Flatpak id in a cgroup path such as
// "0::/user.slice/.../app.slice/app-flatpak-org.audacityteam.Audacity-12345.scope".
QString flatpakIdFromCgroup(const QByteArray& cgroup) {
    static const QByteArray markers[] = {QByteArrayLiteral("app-flatpak-"), QByteArrayLiteral("/flatpak-")};
    for (const auto& marker : markers) {
        const qsizetype start = cgroup.indexOf(marker);
        if (start < 0) {
            continue;
        }
        const qsizetype idStart = start + marker.size();
        const qsizetype scope = cgroup.indexOf(".scope", idStart);
        const qsizetype dash = scope < 0 ? -1 : cgroup.lastIndexOf('-', scope);
        if (dash > idStart) {
            return QString::fromUtf8(cgroup.mid(idStart, dash - idStart));
        }
    }
    return {};
}

// The "name" of the "[Application]" group of a .flatpak-info key file.
QString flatpakIdFromInfo(const QByteArray& info) {
    bool inApplication = false;
    for (const QByteArray& rawLine : info.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inApplication = line == "[Application]";
        } else if (inApplication && line.startsWith("name=")) {
            return QString::fromUtf8(line.mid(5).trimmed());
        }
    }
    return {};
}

} // namespace

ProcWorkspace::ProcWorkspace(AliasTable aliases, const QString& procRoot, std::chrono::milliseconds interval,
                             QObject* parent)
    : QObject(parent), m_aliases(std::move(aliases)), m_procRoot(procRoot.toLocal8Bit()),
      m_userId(::geteuid()) {
    scan();
    if (interval.count() > 0) {
        connect(&m_timer, &QTimer::timeout, this, &ProcWorkspace::scan);
        m_timer.start(interval);
    }
}

std::vector<RunningApplication> ProcWorkspace::runningApplications() const {
    std::vector<RunningApplication> running;
    running.reserve(static_cast<std::size_t>(m_applications.size()));
    for (auto application = m_applications.cbegin(); application != m_applications.cend(); ++application) {
        running.push_back({application.key(), application->firstProcessId});
    }
    return running;
}

void ProcWorkspace::listProcessIds() {
    m_listed.clear();
    DIR* directory = ::opendir(m_procRoot.constData());
    if (!directory) {
        return;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const char* name = entry->d_name;
        if (name[0] < '1' || name[0] > '9') {
            continue;
        }
        pid_t pid = 0;
        bool numeric = true;
        for (const char* digit = name; *digit; ++digit) {
            if (*digit < '0' || *digit > '9') {
                numeric = false;
                break;
            }
            pid = pid * 10 + (*digit - '0');
        }
        if (numeric) {
            m_listed.push_back(pid);
        }
    }
    ::closedir(directory);
}

void ProcWorkspace::scan() {
    listProcessIds();
    ++m_scanNumber;

    std::vector<RunningApplication> launched;
    std::vector<RunningApplication> quit;
    for (const pid_t pid : m_listed) {
        auto [entry, isNew] = m_processes.try_emplace(pid);
        Process& process = entry->second;
        process.lastSeenScan = m_scanNumber;
        if (process.sightings >= kNamings) {
            continue;
        }
        ++process.sightings;
        const QByteArray folder = m_procRoot + '/' + QByteArray::number(pid);
        if (!isNew && executablePath(folder) == process.executablePath) {
            continue; // still the program it was
        }
        Naming naming = name(pid);
        if (isNew && naming.applicationId.isEmpty()) {
            // Another user's process or a kernel thread stays what it is.
            process.sightings = kNamings;
        }
        process.executablePath = std::move(naming.executablePath);
        if (!isNew && naming.applicationId == process.applicationId) {
            continue;
        }
        if (!process.applicationId.isEmpty()) {
            removeProcess(process.applicationId, quit);
        }
        process.applicationId = std::move(naming.applicationId);
        if (!process.applicationId.isEmpty()) {
            addProcess(process.applicationId, pid, launched);
        }
    }

    // Every listed process is known now, so equal counts mean that none has gone.
    if (m_processes.size() != m_listed.size()) {
        for (auto entry = m_processes.begin(); entry != m_processes.end();) {
            if (entry->second.lastSeenScan == m_scanNumber) {
                ++entry;
                continue;
            }
            if (!entry->second.applicationId.isEmpty()) {
                removeProcess(entry->second.applicationId, quit);
            }
            entry = m_processes.erase(entry);
        }
    }

    // Launches first: a workstation replaced by another within one scan keeps the
    // listening session going instead of ending and restarting it.
    for (const auto& application : launched) {
        reportLaunch(application);
    }
    for (const auto& application : quit) {
        reportTermination(application);
    }
}

void ProcWorkspace::addProcess(const QString& applicationId, pid_t pid,
                               std::vector<RunningApplication>& launched) {
    Application& application = m_applications[applicationId];
    if (application.processes++ == 0) {
        application.firstProcessId = pid;
        launched.push_back({applicationId, pid});
    }
}

void ProcWorkspace::removeProcess(const QString& applicationId, std::vector<RunningApplication>& quit) {
    const auto application = m_applications.find(applicationId);
    if (application == m_applications.end()) {
        return;
    }
    if (--application->processes == 0) {
        quit.push_back({applicationId, application->firstProcessId});
        m_applications.erase(application);
    }
}

QString ProcWorkspace::alias(const QString& name) const {
    if (name.isEmpty()) {
        return {};
    }
    if (const auto found = m_aliases.constFind(name); found != m_aliases.constEnd()) {
        return *found;
    }
    const QString unversioned = withoutVersion(name);
    if (!unversioned.isEmpty()) {
        if (const auto found = m_aliases.constFind(unversioned); found != m_aliases.constEnd()) {
            return *found;
        }
    }
    return {};
}

QString ProcWorkspace::flatpakId(const QByteArray& folder) const {
    // The sandbox's own description of the application, at the root of its file system.
    const QByteArray infoPath = folder + "/root/.flatpak-info";
    const int fd = ::open(infoPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buffer[4096];
        const ssize_t length = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        return length > 0 ? flatpakIdFromInfo(QByteArray(buffer, length)) : QString();
    }
    // The sandbox's root may be closed to us (anything but "no such file"); the scope
    // Flatpak puts the application in still names it. Reading the cgroup costs more, so
    // only then.
    if (errno != ENOENT) {
        return flatpakIdFromCgroup(readSmallFile(folder + "/cgroup"));
    }
    return {};
}

QByteArray ProcWorkspace::executablePath(const QByteArray& folder) const {
    char target[4096];
    const ssize_t length = ::readlink((folder + "/exe").constData(), target, sizeof target);
    return length > 0 ? QByteArray(target, length) : QByteArray();
}

QString ProcWorkspace::resolveApplicationId(pid_t pid) const {
    return name(pid).applicationId;
}

ProcWorkspace::Naming ProcWorkspace::name(pid_t pid) const {
    const QByteArray folder = m_procRoot + '/' + QByteArray::number(pid);
    struct stat status;
    if (::stat(folder.constData(), &status) != 0 || status.st_uid != m_userId) {
        return {};
    }
    Naming naming;
    naming.executablePath = executablePath(folder);

    if (const QString flatpak = flatpakId(folder); !flatpak.isEmpty()) {
        const QString aliased = alias(flatpak);
        naming.applicationId = aliased.isEmpty() ? flatpak : aliased;
        return naming;
    }

    QString executable;
    if (!naming.executablePath.isEmpty()) {
        QByteArray path = naming.executablePath;
        // A program replaced on disk while it runs (an update) still is that program.
        if (path.endsWith(" (deleted)")) {
            path.chop(10);
        }
        executable = baseName(path);
        if (QString aliased = alias(executable); !aliased.isEmpty()) {
            naming.applicationId = std::move(aliased);
            return naming;
        }
    }

    // The command name is the script's name for interpreted programs, and stands in when
    // the executable link is not readable. Kernel threads have no command line: they are
    // not applications.
    const QString command = QString::fromUtf8(readSmallFile(folder + "/comm")).trimmed();
    if (QString aliased = alias(command); !aliased.isEmpty()) {
        naming.applicationId = std::move(aliased);
    } else if (!executable.isEmpty()) {
        naming.applicationId = executable;
    } else if (!command.isEmpty() && !readSmallFile(folder + "/cmdline").isEmpty()) {
        naming.applicationId = command;
    }
    return naming;
}

} // namespace kavro::platform
