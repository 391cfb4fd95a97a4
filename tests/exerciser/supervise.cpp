// The parent side of a session (scratch folder, child process, what a
// failure leaves behind) and the write confinement of the child.

#include <fcntl.h>
#include <ftw.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "exerciser.h"

namespace {

bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

// Mount points in /proc/self/mountinfo are written with octal escapes.
std::string Unescape(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            r += char((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            r += s[i];
        }
    }
    return r;
}

bool Under(const std::string& path, const std::string& dir) {
    return path == dir || (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                           path[dir.size()] == '/');
}

int RemoveEntry(const char* path, const struct stat*, int type, FTW*) {
    if (type == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path);
    return 0;
}

} // namespace

void RemoveTree(const std::string& path) {
    // Folders the session made unreadable or unwritable still go.
    ::nftw(path.c_str(), [](const char* p, const struct stat* st, int type, FTW*) {
        if (type == FTW_D || type == FTW_DNR) ::chmod(p, 0700);
        (void)st;
        return 0;
    }, 32, FTW_PHYS);
    ::nftw(path.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
}

bool ConfineWrites(const std::string& root) {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    WriteProcFile("/proc/self/setgroups", "deny");
    if (!WriteProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1"))
        return false;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    // The scratch folder becomes a mount of its own, which stays writable.
    if (::mount(root.c_str(), root.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0) return false;
    std::ifstream info("/proc/self/mountinfo");
    std::string line;
    std::vector<std::string> points;
    while (std::getline(info, line)) {
        std::istringstream fields(line);
        std::string id, parent, dev, rootField, point;
        fields >> id >> parent >> dev >> rootField >> point;
        points.push_back(Unescape(point));
    }
    bool rootDone = false;
    for (const std::string& p : points) {
        // Devices, the kernel's views and the scratch folder stay as they are.
        if (Under(p, root) || Under(p, "/proc") || Under(p, "/sys") || Under(p, "/dev")) continue;
        struct statvfs sv;
        if (::statvfs(p.c_str(), &sv) != 0) continue;
        // Flags inherited from the parent namespace are locked: keep them.
        unsigned long flags = MS_BIND | MS_REMOUNT | MS_RDONLY;
        if (sv.f_flag & ST_NOSUID) flags |= MS_NOSUID;
        if (sv.f_flag & ST_NODEV) flags |= MS_NODEV;
        if (sv.f_flag & ST_NOEXEC) flags |= MS_NOEXEC;
        if (sv.f_flag & ST_NOATIME) flags |= MS_NOATIME;
        if (sv.f_flag & ST_NODIRATIME) flags |= MS_NODIRATIME;
        if (sv.f_flag & ST_RELATIME) flags |= MS_RELATIME;
        if (::mount(nullptr, p.c_str(), nullptr, flags, nullptr) == 0 && p == "/") rootDone = true;
    }
    return rootDone;
}

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace

int RunSupervised(const TExerciseOptions& opt) {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/tav-exercise-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
        std::perror("exerciser: scratch folder");
        return 2;
    }
    const std::string root = tmpl;
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("exerciser: fork");
        return 2;
    }
    if (pid == 0) {
        const int rc = RunExercise(opt, root);
        std::cout.flush();
        std::cerr.flush();
        std::exit(rc);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok) {
        std::string how = WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                              : "exit status " + std::to_string(WEXITSTATUS(status));
        const std::string journal = ReadAll(root + "/journal.replay");
        std::string seed = "?";
        std::vector<std::string> steps;
        std::istringstream in(journal);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("seed\t", 0) == 0) seed = line.substr(5);
            if (line.rfind("step\t", 0) == 0 || line.rfind("answer\t", 0) == 0 || line.rfind("#", 0) == 0)
                steps.push_back(line);
        }
        std::cerr << "\nexerciser: FAILED (" << how << "), seed " << seed << "\n";
        const size_t first = steps.size() > 40 ? steps.size() - 40 : 0;
        if (first) std::cerr << "  ... " << first << " earlier lines in the replay file\n";
        for (size_t i = first; i < steps.size(); ++i)
            std::cerr << "  " << steps[i] << "\n";
        std::string out = opt.failureOut;
        if (out.empty()) out = "exerciser-failure-" + seed + ".replay";
        std::ofstream(out, std::ios::binary) << journal;
        std::cerr << "exerciser: replay with  scripts/exercise --replay " << out << "\n";
    }
    if (!opt.journalOut.empty())
        std::ofstream(opt.journalOut, std::ios::binary) << ReadAll(root + "/journal.replay");
    RemoveTree(root);
    return ok ? 0 : 1;
}
