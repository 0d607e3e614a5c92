// Arrival latency, file created to status texts changed, timed from X property events rather
// than by polling with xprop (whose start-up alone takes milliseconds).
//
//   kv_arrival_latency <folder> <trials> <name>=<window>:<property>[,<window>:<property>...]...
//
// Each named subject is a set of window properties that must all read the arrival text. Each
// trial waits until every subject reads the watching text, sleeps a random phase of the tick
// (0-999 ms), creates a file in the folder and notes, for each subject, when its last property
// turned to the arrival text; then it deletes the file. Prints, per subject, the median, the 95th
// percentile and the largest latency in milliseconds, and the trials in order.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* watching = "監視中・・・・";
constexpr const char* arrival = "着信！";

struct Watched
{
    xcb_window_t window;
    xcb_atom_t property;
    std::string text;
};

struct Subject
{
    std::string name;
    std::vector<Watched> properties;
    std::vector<double> latencies;
};

xcb_connection_t* connection = nullptr;

xcb_atom_t atom(const std::string& name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return found;
}

std::string read(const Watched& watched)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, watched.window, watched.property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    std::string text;
    if (reply != nullptr)
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

bool allRead(const Subject& subject, const char* text)
{
    return std::all_of(subject.properties.begin(), subject.properties.end(),
                       [&](const Watched& watched) { return watched.text == text; });
}

// Takes property events until every subject reads `text`, noting when each got there; fails
// after five seconds.
std::map<std::string, Clock::time_point> waitForAll(std::vector<Subject>& subjects, const char* text)
{
    std::map<std::string, Clock::time_point> reached;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
        for (const Subject& subject : subjects)
            if (reached.count(subject.name) == 0 && allRead(subject, text))
                reached[subject.name] = Clock::now();
        if (reached.size() == subjects.size())
            return reached;
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "kv_arrival_latency: no \"%s\" within 5 s\n", text);
            std::exit(1);
        }
        xcb_generic_event_t* event = xcb_poll_for_event(connection);
        if (event == nullptr) {
            // The connection's descriptor wakes the wait as soon as an event comes.
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(xcb_get_file_descriptor(connection), &readable);
            timeval tick{0, 10000};
            ::select(xcb_get_file_descriptor(connection) + 1, &readable, nullptr, nullptr, &tick);
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
            for (Subject& subject : subjects)
                for (Watched& watched : subject.properties)
                    if (watched.window == change->window && watched.property == change->atom)
                        watched.text = read(watched);
        }
        std::free(event);
    }
}

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size()) + 0.999) - 1;
    return values[std::min(index, values.size() - 1)];
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fputs("usage: kv_arrival_latency <folder> <trials> <name>=<window>:<property>[,...]...\n", stderr);
        return 2;
    }
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fputs("kv_arrival_latency: no X display\n", stderr);
        return 1;
    }
    const std::string file = std::string(argv[1]) + "/arrival";
    const int trials = std::atoi(argv[2]);
    std::vector<Subject> subjects;
    for (int i = 3; i < argc; ++i) {
        const std::string argument = argv[i];
        Subject subject{argument.substr(0, argument.find('=')), {}, {}};
        for (std::size_t at = argument.find('=') + 1; at != 0 && at <= argument.size();) {
            const std::size_t end = std::min(argument.find(',', at), argument.size());
            const std::string item = argument.substr(at, end - at);
            const auto window = static_cast<xcb_window_t>(std::strtoul(item.c_str(), nullptr, 0));
            Watched watched{window, atom(item.substr(item.find(':') + 1)), {}};
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
            watched.text = read(watched);
            subject.properties.push_back(watched);
            at = end + 1;
        }
        subjects.push_back(subject);
    }
    xcb_flush(connection);

    std::mt19937 random(std::random_device{}());
    for (int trial = 0; trial < trials; ++trial) {
        ::unlink(file.c_str());
        waitForAll(subjects, watching);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1000));
        const Clock::time_point created = Clock::now();
        ::close(::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        for (const auto& [name, at] : waitForAll(subjects, arrival))
            for (Subject& subject : subjects)
                if (subject.name == name)
                    subject.latencies.push_back(std::chrono::duration<double, std::milli>(at - created).count());
    }
    ::unlink(file.c_str());

    for (const Subject& subject : subjects) {
        std::printf("%s: median %.1f ms, p95 %.1f ms, max %.1f ms; trials:", subject.name.c_str(),
                    percentile(subject.latencies, 0.5), percentile(subject.latencies, 0.95),
                    percentile(subject.latencies, 1.0));
        for (const double latency : subject.latencies)
            std::printf(" %.1f", latency);
        std::printf("\n");
    }
    xcb_disconnect(connection);
    return 0;
}
