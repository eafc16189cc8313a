// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of one /proc scan of the workstation watch, with the machine's own
// processes and with extra idle processes up to about 500 in all.
#include "platform/linux/ProcWorkspace.h"
#include "services/KnownWorkstations.h"

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace {

using kavro::platform::ProcWorkspace;

// Idle processes that make the process list as long as the benchmark asks for.
class ExtraProcesses {
public:
    explicit ExtraProcesses(std::size_t wantedTotal) {
        const ProcWorkspace probe({}, QStringLiteral("/proc"), std::chrono::milliseconds(0));
        for (std::size_t count = probe.listedProcessCount(); count < wantedTotal; ++count) {
            char program[] = "/bin/sleep";
            char duration[] = "600";
            char* arguments[] = {program, duration, nullptr};
            pid_t pid = 0;
            if (posix_spawn(&pid, program, nullptr, nullptr, arguments, environ) != 0) {
                break;
            }
            m_pids.push_back(pid);
        }
    }
    ~ExtraProcesses() {
        for (const pid_t pid : m_pids) {
            kill(pid, SIGKILL);
        }
        for (const pid_t pid : m_pids) {
            waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> m_pids;
};

// The steady state: nothing started or quit since the last scan.
void BM_ProcScanUnchanged(benchmark::State& state) {
    const ExtraProcesses extra(static_cast<std::size_t>(state.range(0)));
    ProcWorkspace workspace(kavro::services::workstationAliases(), QStringLiteral("/proc"),
                            std::chrono::milliseconds(0));
    workspace.scan(); // the second naming of every process
    for (auto _ : state) {
        workspace.scan();
    }
    state.counters["processes"] = static_cast<double>(workspace.listedProcessCount());
}

// Every process seen for the first time and named: the scan at start-up.
void BM_ProcScanFirstSight(benchmark::State& state) {
    const ExtraProcesses extra(static_cast<std::size_t>(state.range(0)));
    std::size_t processes = 0;
    for (auto _ : state) {
        ProcWorkspace workspace(kavro::services::workstationAliases(), QStringLiteral("/proc"),
                                std::chrono::milliseconds(0));
        processes = workspace.listedProcessCount();
        benchmark::DoNotOptimize(processes);
    }
    state.counters["processes"] = static_cast<double>(processes);
}

} // namespace

// 0: only what runs on the machine; 500: padded to about 500 processes.
BENCHMARK(BM_ProcScanUnchanged)->Arg(0)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcScanFirstSight)->Arg(0)->Arg(500)->Unit(benchmark::kMicrosecond);
