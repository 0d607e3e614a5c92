// A FUSE file system whose folder listing hangs, as a network share does when its server stops
// answering: `kv_hanging_folder <mount point>` mounts a root holding one folder, "in", with one
// file, "data.csv". Looking up the root, "in" and "data.csv" always answers; listing "in", and
// looking up any other name in it, block until a line (or the end) comes on standard input, and
// from then on answer at once, until a line "hang" makes them block again, as a share that
// answered and then stopped. It prints "ready" once mounted and "listing" each time a listing of
// "in" starts.
#define FUSE_USE_VERSION 31

#include <fuse3/fuse.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

std::mutex releaseMutex;
std::condition_variable releaseChanged;
bool released = false;

void announce(const char* line)
{
    static std::mutex outputMutex;
    const std::lock_guard lock(outputMutex);
    std::puts(line);
    std::fflush(stdout);
}

void* init(fuse_conn_info* /*connection*/, fuse_config* config)
{
    // Nothing cached, so that every listing reaches this program.
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    announce("ready");
    return nullptr;
}

// Waits for the release; not forever, so that a test that failed before releasing can still end.
void waitForRelease()
{
    std::unique_lock lock(releaseMutex);
    releaseChanged.wait_for(lock, std::chrono::seconds(60), [] { return released; });
}

int getattr(const char* path, struct stat* attributes, fuse_file_info* /*file*/)
{
    *attributes = {};
    if (std::strncmp(path, "/in/", 4) == 0 && std::strcmp(path, "/in/data.csv") != 0)
        waitForRelease();
    if (std::strcmp(path, "/") == 0 || std::strcmp(path, "/in") == 0) {
        attributes->st_mode = S_IFDIR | 0755;
        attributes->st_nlink = 2;
    } else if (std::strcmp(path, "/in/data.csv") == 0) {
        attributes->st_mode = S_IFREG | 0644;
        attributes->st_nlink = 1;
        attributes->st_size = 1;
    } else {
        return -ENOENT;
    }
    return 0;
}

int readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t /*offset*/, fuse_file_info* /*file*/,
            fuse_readdir_flags /*flags*/)
{
    const bool root = std::strcmp(path, "/") == 0;
    if (!root && std::strcmp(path, "/in") != 0)
        return -ENOENT;
    if (!root) {
        announce("listing");
        waitForRelease();
    }
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, root ? "in" : "data.csv", nullptr, 0, fuse_fill_dir_flags{});
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: kv_hanging_folder <mount point>\n", stderr);
        return 2;
    }
    std::thread([] {
        std::string line;
        bool more = true;
        while (more) {
            more = static_cast<bool>(std::getline(std::cin, line));
            const std::lock_guard lock(releaseMutex);
            released = !more || line != "hang";
            releaseChanged.notify_all();
        }
    }).detach();

    fuse_operations operations{};
    operations.init = init;
    operations.getattr = getattr;
    operations.readdir = readdir;
    // In the foreground, one thread per request (so that names answer while a listing hangs),
    // and unmounted when this process ends, however it ends.
    char program[] = "kv_hanging_folder";
    char foreground[] = "-f";
    char option[] = "-o";
    char autoUnmount[] = "auto_unmount";
    char* arguments[] = {program, foreground, option, autoUnmount, argv[1], nullptr};
    return fuse_main(5, arguments, &operations, nullptr);
}
