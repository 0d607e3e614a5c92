// A small program the reliability tests run as a separate process: as another user, under a
// file-size limit, or to be killed in the middle of a store.
//
//   kv_test_helper store <value>              store once; prints "ok" or the failure message
//   kv_test_helper store-limited <bytes> <value>  the same under RLIMIT_FSIZE, SIGXFSZ ignored
//   kv_test_helper loop <value>...            store the values in turn, forever
//   kv_test_helper churn <folder>             create and delete a file in the folder, forever
//   kv_test_helper poll                       one tick; prints the status, or "none"
#include "monitor/ArrivalPoll.h"
#include "platform/System.h"
#include "settings/SettingsFile.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

int storeOnce(const std::string& value)
{
    const std::unique_ptr<platform::System> system = platform::createSystem("kv_test_helper");
    try {
        settings::storeWatchedFolder(*system, settings::settingsPath(*system), value);
        std::puts("ok");
        return 0;
    } catch (const std::exception& failure) {
        std::puts(failure.what());
        return 1;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "store" && argc == 3)
        return storeOnce(argv[2]);
    if (mode == "store-limited" && argc == 4) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t bytes = std::stoul(argv[2]);
        const rlimit limit{bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 2;
        return storeOnce(argv[3]);
    }
    if (mode == "loop" && argc > 2) {
        const std::unique_ptr<platform::System> system = platform::createSystem("kv_test_helper");
        std::puts("storing");
        std::fflush(stdout);
        for (int i = 0;; i = (i + 1) % (argc - 2))
            settings::storeWatchedFolder(*system, settings::settingsPath(*system), argv[2 + i]);
    }
    if (mode == "poll") {
        const std::unique_ptr<platform::System> system = platform::createSystem("kv_test_helper");
        const std::optional<monitor::Status> status = monitor::pollStatus(*system);
        std::puts(!status                                ? "none"
                  : *status == monitor::Status::Arrival  ? "arrival"
                  : *status == monitor::Status::Watching ? "watching"
                                                         : "no folder");
        return 0;
    }
    if (mode == "churn" && argc == 3) {
        const std::string file = std::string(argv[2]) + "/churn";
        std::puts("churning");
        std::fflush(stdout);
        for (;;) {
            const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            if (fd >= 0)
                ::close(fd);
            ::unlink(file.c_str());
        }
    }
    std::fputs("usage: kv_test_helper store|store-limited|loop|churn ...\n", stderr);
    return 2;
}
