// One tick's work against folders of 0 to 1,000,000 entries: the tool's real poll beside a
// reference that does the least the same work needs (read the settings file, stat the folder,
// list it with raw getdents64). Prints the ratio of the two for each size.
//
// The folders are made once under $KV_BENCH_DIR (default /tmp/kelvoran-bench) and reused.
#include "monitor/ArrivalPoll.h"
#include "platform/System.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::string benchRoot()
{
    const char* root = std::getenv("KV_BENCH_DIR");
    return root != nullptr ? root : "/tmp/kelvoran-bench";
}

// A working directory holding Kelvoran.ini and the folder "in" with `entries` files.
std::string prepare(long entries)
{
    const std::string work = benchRoot() + "/" + std::to_string(entries);
    const std::string folder = work + "/in";
    const std::string done = work + "/ready";
    if (::access(done.c_str(), F_OK) != 0) {
        ::mkdir(benchRoot().c_str(), 0755);
        ::mkdir(work.c_str(), 0755);
        ::mkdir(folder.c_str(), 0755);
        for (long i = 0; i < entries; ++i) {
            const std::string name = folder + "/data-" + std::to_string(i) + ".csv";
            const int fd = ::open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            if (fd < 0) {
                std::perror(name.c_str());
                std::exit(1);
            }
            ::close(fd);
        }
        const std::string settings = "[KansiDir]\r\nfullpath=" + folder + "\r\n";
        const int fd = ::open((work + "/Kelvoran.ini").c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, settings.data(), settings.size()) != static_cast<ssize_t>(settings.size()))
            std::exit(1);
        ::close(fd);
        ::close(::open(done.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    }
    return work;
}

void toolTick(benchmark::State& state)
{
    const std::string work = prepare(state.range(0));
    if (::chdir(work.c_str()) != 0)
        state.SkipWithError("chdir");
    const std::unique_ptr<platform::System> system = platform::createSystem("kelvoran");
    // The checking thread's tick: the names of what arrived are kept across the listings.
    monitor::ArrivedNames names;
    for (auto _ : state)
        benchmark::DoNotOptimize(monitor::listFolder(*system, monitor::readSetting(*system).folder, nullptr, &names));
}

void referenceTick(benchmark::State& state)
{
    const std::string work = prepare(state.range(0));
    const std::string settings = work + "/Kelvoran.ini";
    const std::string folder = work + "/in/";
    static std::array<char, 1 << 20> buffer;
    for (auto _ : state) {
        char text[4096];
        const int settingsFd = ::open(settings.c_str(), O_RDONLY | O_CLOEXEC);
        benchmark::DoNotOptimize(::read(settingsFd, text, sizeof text));
        ::close(settingsFd);
        struct stat info
        {};
        benchmark::DoNotOptimize(::stat(folder.c_str(), &info));
        const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        bool arrived = false;
        for (;;) {
            const long got = ::syscall(SYS_getdents64, dirFd, buffer.data(), buffer.size());
            if (got <= 0)
                break;
            for (long offset = 0; offset < got;) {
                // glibc's dirent64 has the kernel's linux_dirent64 layout.
                const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + offset);
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    arrived = true;
                offset += entry->d_reclen;
            }
        }
        ::close(dirFd);
        benchmark::DoNotOptimize(arrived);
    }
}

// Collects the mean time of each run so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
                const std::string name = run.run_name.function_name;
                m_times[run.run_name.args][name] = run.GetAdjustedRealTime();
            }
        }
    }

    void printRatios() const
    {
        std::printf("\n%12s %14s %14s %8s\n", "entries", "tool (us)", "reference (us)", "ratio");
        for (const auto& [size, byName] : m_times) {
            const auto tool = byName.find("toolTick");
            const auto reference = byName.find("referenceTick");
            if (tool == byName.end() || reference == byName.end())
                continue;
            std::printf("%12s %14.1f %14.1f %8.3f\n", size.c_str() + size.find('/') + 1, tool->second,
                        reference->second, tool->second / reference->second);
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> m_times;
};

} // namespace

BENCHMARK(toolTick)->Arg(0)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(referenceTick)->Arg(0)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
