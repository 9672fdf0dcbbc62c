#include "stop_signals.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace pcs::app {

namespace {

constexpr int Stop_Signal_Numbers[] = {SIGTERM, SIGINT, SIGHUP};
int Pipe[2] = {-1, -1};
std::atomic<int> Signals_Seen{0}; // lock-free, so safe in the handler

// Only what is safe in a signal handler: one byte to the event loop for the first signal. The second
// ends the program here, since the event loop may be waiting on a lock of the lab database and would
// read the byte only when that call returns.
extern "C" void On_Stop_Signal(int number) {
    if (Signals_Seen.fetch_add(1) > 0) {
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    const char byte = static_cast<char>(number);
    [[maybe_unused]] ssize_t n = ::write(Pipe[1], &byte, 1);
}

} // namespace

Stop_Signals::Stop_Signals(std::function<void()> orderly_exit) : exit_(std::move(orderly_exit)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, Pipe) != 0) {
        std::perror("pcstation: signals stop the station at once");
        return;
    }
    notifier_ = new QSocketNotifier(Pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(Pipe[0], &byte, 1) != 1) return;
        std::fprintf(stderr, "pcstation: stopped by signal %d, leaving as from Exit\n", int(byte));
        exit_();
    });
    Signals_Seen = 0;
    struct sigaction sa {};
    sa.sa_handler = On_Stop_Signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : Stop_Signal_Numbers)
        ::sigaction(s, &sa, nullptr);
}

Stop_Signals::~Stop_Signals() {
    for (int s : Stop_Signal_Numbers)
        std::signal(s, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    for (int& fd : Pipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

} // namespace pcs::app
