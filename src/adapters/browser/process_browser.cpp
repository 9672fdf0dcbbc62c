#include "process_browser.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace pcs::browser {

namespace {

bool Is_Executable(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program's path: as given when it names a folder, otherwise the first match in PATH. Resolved
// before forking, because a forked child of a threaded program may only make plain system calls.
std::string Resolve(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
        if (Is_Executable(candidate)) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    throw db::Browser_Error("The web browser \"" + program + "\" was not found");
}

// Read all of a pipe's bytes (fewer when it closes early); retried across signals.
ssize_t Read_All(int fd, void* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        ssize_t n = read(fd, static_cast<char*>(buffer) + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

} // namespace

void Process_Browser::Open_Address(const std::string& address) {
    if (program_.empty()) throw db::Browser_Error("No web browser is configured");
    const std::string path = Resolve(program_);
    std::vector<char*> argv = {const_cast<char*>(path.c_str()), const_cast<char*>(address.c_str()), nullptr};

    // The browser is started by a short-lived middle process, so it is nobody's child here and leaves no
    // zombie behind. A close-on-exec pipe tells whether exec worked: it closes empty when it did, or
    // carries the errno when it did not.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        throw db::Browser_Error(std::string("Cannot start the web browser: ") + std::strerror(errno));
    const long max_fd = sysconf(_SC_OPEN_MAX);

    pid_t middle = fork();
    if (middle < 0) {
        int e = errno;
        close(report[0]);
        close(report[1]);
        throw db::Browser_Error(std::string("Cannot start the web browser: ") + std::strerror(e));
    }
    if (middle == 0) {
        // Only async-signal-safe calls from here on.
        pid_t browser = fork();
        if (browser < 0) {
            int e = errno;
            (void)!write(report[1], &e, sizeof e);
            _exit(1);
        }
        if (browser > 0) _exit(0);
        setsid(); // not tied to the station's terminal or process group
        // Open files of the station (the counter's port, database sockets) are not the browser's.
        if (syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
            for (long fd = 3; fd < max_fd; ++fd)
                if (fd != report[1]) close(static_cast<int>(fd));
        }
        execve(path.c_str(), argv.data(), environ);
        int e = errno;
        (void)!write(report[1], &e, sizeof e);
        _exit(127);
    }

    close(report[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int child_errno = 0;
    ssize_t n = Read_All(report[0], &child_errno, sizeof child_errno);
    close(report[0]);
    if (n == static_cast<ssize_t>(sizeof child_errno))
        throw db::Browser_Error("Cannot start the web browser \"" + program_ +
                                "\": " + std::strerror(child_errno));
}

} // namespace pcs::browser
