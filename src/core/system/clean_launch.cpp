#include "core/system/clean_launch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

extern char** environ;

namespace wren::CleanLaunch {
namespace {

struct UserValue {
    std::string name;
    std::optional<std::string> value;  // absent: the user had not set it
};

std::vector<UserValue>& userValues() {
    static std::vector<UserValue> values;
    return values;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The program's path as execve needs it; empty when there is none.
std::string resolve(const std::string& program) {
    if (program.empty()) return {};
    if (program.find('/') != std::string::npos) return isExecutableFile(program) ? program : "";
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        std::string candidate =
            (folder.empty() ? std::string(".") : std::string(folder)) + "/" + program;
        if (isExecutableFile(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

void reportAndExit(int fd, int error) {
    // Nothing more can be done if the report fails: the parent then sees a clean start.
    [[maybe_unused]] const ssize_t n = ::write(fd, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

void setForIsland(const char* name, const char* value) {
    std::vector<UserValue>& values = userValues();
    bool known = false;
    for (const UserValue& v : values) known = known || v.name == name;
    if (!known) {
        const char* user = std::getenv(name);
        values.push_back({name, user != nullptr ? std::optional<std::string>(user) : std::nullopt});
    }
    ::setenv(name, value, 1);
}

std::vector<std::string> userEnvironment(const std::vector<std::string>& current) {
    const std::vector<UserValue>& values = userValues();
    std::vector<std::string> out;
    for (const std::string& entry : current) {
        const std::string_view name = std::string_view(entry).substr(0, entry.find('='));
        bool changed = false;
        for (const UserValue& v : values) changed = changed || v.name == name;
        if (!changed) out.push_back(entry);
    }
    for (const UserValue& v : values) {
        if (v.value) out.push_back(v.name + "=" + *v.value);
    }
    return out;
}

std::vector<std::string> userEnvironment() {
    std::vector<std::string> current;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        current.emplace_back(*entry);
    }
    return userEnvironment(current);
}

void resetSignals() {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) ::sigaction(signal, &standard, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

bool startDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory) {
    // Everything the children need is made here: between fork and exec only async-signal-safe
    // calls are allowed in a process with threads.
    const std::string path = resolve(program);
    if (path.empty()) return false;
    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envStrings = userEnvironment();
    const std::vector<char*> argv = pointers(argvStrings);
    const std::vector<char*> envp = pointers(envStrings);

    // The exec's outcome comes back through a pipe that closes by itself when exec succeeds.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t middle = ::fork();
    if (middle < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (middle == 0) {
        ::close(report[0]);
        // The middle process exits at once, so the program is nobody's child but init's and
        // never becomes a zombie of the island.
        const pid_t launched = ::fork();
        if (launched < 0) reportAndExit(report[1], errno);
        if (launched > 0) ::_exit(0);
        ::setsid();
        resetSignals();
        if (!directory.empty() && ::chdir(directory.c_str()) != 0) reportAndExit(report[1], errno);
        const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (input >= 0) ::dup2(input, STDIN_FILENO);
        ::execve(path.c_str(), argv.data(), envp.data());
        reportAndExit(report[1], errno);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return n == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace wren::CleanLaunch
