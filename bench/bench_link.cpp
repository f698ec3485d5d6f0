// The command link's round trip against the emulated keyboard, next to a bare SOCK_SEQPACKET echo
// that waits the way the transport waits (poll on the socket and an abort eventfd). The ratio of the
// two is what the link and the emulator add to the socket itself.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/DeviceCommandLink.h"
#include "tools/sim/SimDevice.h"

namespace fs = std::filesystem;
using namespace nk7x;

namespace {

// One emulated keyboard in a private folder, with the link open on its command interface.
struct Bench {
    std::string folder;
    std::unique_ptr<SimDevice> sim;
    CDeviceCommandLink link;

    Bench() {
        std::string tmpl = (fs::temp_directory_path() / "nk7x-bench-XXXXXX").string();
        if (::mkdtemp(tmpl.data()))
            folder = tmpl;
        ::setenv("NK7X_SIM_DIR", folder.c_str(), 1);
        SimOptions options;
        options.folder = folder;
        options.frameLogLimit = 64;
        sim = std::make_unique<SimDevice>(options);
        // A link that did not open makes every exchange fail, which the benchmark reports.
        if (sim->Start() == 1)
            (void)link.OpenPath(sim->CommandPath());
    }
    ~Bench() {
        link.ClosePath();
        sim->Stop();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

void BM_Exchange(benchmark::State& state) {
    Bench bench;
    if (!bench.link.IsOpen()) {
        state.SkipWithError("the emulated keyboard did not open");
        return;
    }
    const FrameBytes request = CommandRequest::Make(26, 6, 0, nullptr).Serialise();
    FrameBytes reply{};
    for (auto _ : state) {
        if (bench.link.Exchange(request.data(), request.size(), reply.data(), reply.size(), nullptr) !=
            kResultOk) {
            state.SkipWithError("exchange failed");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_Exchange)->UseRealTime();

void BM_ReadKeyTable(benchmark::State& state) {
    Bench bench;
    if (!bench.link.IsOpen() || bench.link.SetDataSize(378) != 1) {
        state.SkipWithError("the emulated keyboard did not open");
        return;
    }
    std::array<uint8_t, 378> table{};
    for (auto _ : state) {
        if (bench.link.ReadKeyTable(table.data()) != kResultOk) {
            state.SkipWithError("key table read failed");
            break;
        }
        benchmark::DoNotOptimize(table);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 378);
}
BENCHMARK(BM_ReadKeyTable)->UseRealTime();

// Waits for `fd` to become readable or writable, or for the abort eventfd, as the transport does.
bool Wait(int fd, short events, int abortFd) {
    pollfd fds[2] = {{abortFd, POLLIN, 0}, {fd, events, 0}};
    return ::poll(fds, 2, 1000) > 0 && !(fds[0].revents & POLLIN) && (fds[1].revents & events);
}

void BM_RawSeqpacketEcho(benchmark::State& state) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) {
        state.SkipWithError("socketpair failed");
        return;
    }
    const int abortFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::thread echo([&] {
        std::array<uint8_t, 64> buf{};
        for (;;) {
            if (!Wait(pair[1], POLLIN, abortFd))
                return;
            const ssize_t n = ::recv(pair[1], buf.data(), buf.size(), 0);
            if (n <= 0 || ::send(pair[1], buf.data(), static_cast<size_t>(n), MSG_NOSIGNAL) != n)
                return;
        }
    });
    const FrameBytes request = CommandRequest::Make(26, 6, 0, nullptr).Serialise();
    FrameBytes reply{};
    for (auto _ : state) {
        if (!Wait(pair[0], POLLOUT, abortFd) ||
            ::send(pair[0], request.data(), request.size(), MSG_NOSIGNAL) !=
                static_cast<ssize_t>(request.size()) ||
            !Wait(pair[0], POLLIN, abortFd) || ::recv(pair[0], reply.data(), reply.size(), 0) != 64) {
            state.SkipWithError("echo failed");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(abortFd, &one, sizeof one);
    echo.join();
    ::close(pair[0]);
    ::close(pair[1]);
    ::close(abortFd);
}
BENCHMARK(BM_RawSeqpacketEcho)->UseRealTime();

// The console report, plus the time of each benchmark kept for the comparison at the end.
class Reporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // With repetitions the median stands for the benchmark; a single run stands for itself.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string& name = run.run_name.function_name;
            if (median ||
                (run.run_type == Run::RT_Iteration && run.iterations > 0 && !m_fromMedian.count(name)))
                m_ns[name] = run.GetAdjustedRealTime();
            if (median)
                m_fromMedian.insert(name);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Ns(const std::string& name) const {
        const auto it = m_ns.find(name);
        return it == m_ns.end() ? 0.0 : it->second;
    }

  private:
    std::map<std::string, double> m_ns;
    std::set<std::string> m_fromMedian;
};

} // namespace

int main(int argc, char** argv) {
    // Without flags of its own, the run repeats each benchmark in random interleaving: the load of a
    // shared machine drifts, and the ratio below is only fair when both sides see the same load.
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    if (argc == 1)
        args.insert(args.end(), {repetitions, interleave, aggregates});
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double exchange = reporter.Ns("BM_Exchange");
    const double echo = reporter.Ns("BM_RawSeqpacketEcho");
    if (exchange > 0 && echo > 0)
        std::printf("Exchange round trip / raw echo round trip = %.2f (target <= 1.50)\n", exchange / echo);
    benchmark::Shutdown();
    return 0;
}
