// The worst a folder can do to the change notification: `kv_churn <folder>` creates and deletes
// one file in it as fast as it can until it is stopped, and then prints how many times it did.
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t stopped = 0;
}

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: kv_churn <folder>\n", stderr);
        return 2;
    }
    std::signal(SIGTERM, [](int) { stopped = 1; });
    std::signal(SIGINT, [](int) { stopped = 1; });
    const std::string file = std::string(argv[1]) + "/churn";
    long rounds = 0;
    for (; stopped == 0; ++rounds) {
        ::close(::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        ::unlink(file.c_str());
    }
    std::printf("%ld\n", rounds);
    return 0;
}
