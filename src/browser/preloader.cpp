#include "browser/preloader.h"

#include <QFile>
#include <algorithm>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "core/options.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/jpeg.h"

namespace {
// A file the worker leaves to the plain load on the window's thread.
struct TNotForWorker {};
} // namespace

TPreloader::TPreloader() : worker_([this] { Run(); }) {}

TPreloader::~TPreloader() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
        cancelRunning_ = true;
    }
    cv_.notify_all();
    worker_.join();
}

TPreloader::Stamp TPreloader::StampOf(const QString& path) {
    struct stat st {};
    Stamp s;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
    s.ok = true;
    s.size = st.st_size;
    s.mtimeNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    s.ctimeNs = (long long)st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    s.ino = (long long)st.st_ino;
    s.dev = (long long)st.st_dev;
    return s;
}

TPreloader::Options TPreloader::CurrentOptions() {
    return {DisplayGamma, GammaCorrection, JPEGReadMethod, PGMaxImageBytes};
}

long long TPreloader::EstimatedBytes(const QString& path, int reduce) {
    std::string type;
    TPGImageInfo info;
    if (!GetFileImageInfo(QFile::encodeName(path).toStdString(), 0, type, info) ||
        info.Width <= 0 || info.Height <= 0)
        return -1;
    const int b = info.BitsPerPixel;
    const long long bits = b <= 1 ? 1 : b <= 4 ? 4 : b <= 8 ? 8 : 24;
    long long w = info.Width, h = info.Height;
    if (reduce > 0) {
        const int d = JpegShrinkDenom(info.Width, info.Height, reduce);
        w = (w + d - 1) / d;
        h = (h + d - 1) / d;
    }
    return ((w * bits + 31) / 32) * 4 * h;
}

void TPreloader::SetBudget(long long bytes) {
    std::lock_guard lock(mutex_);
    budget_ = bytes;
}

long long TPreloader::Budget() const {
    std::lock_guard lock(mutex_);
    return budget_;
}

long long TPreloader::HeldBytesLocked() const {
    long long n = 0;
    for (const auto& [path, r] : results_)
        if (r.picture) n += r.picture->ImageSize();
    return n;
}

long long TPreloader::HeldBytes() const {
    std::lock_guard lock(mutex_);
    return HeldBytesLocked();
}

void TPreloader::SetEnabled(bool on) {
    {
        std::lock_guard lock(mutex_);
        enabled_ = on;
    }
    if (!on) Invalidate();
}

void TPreloader::Invalidate() {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        jobs_.clear();
        wanted_.clear();
        for (auto& [path, r] : results_)
            if (r.picture) trash_.push_back(std::move(r.picture));
        results_.clear();
        if (!running_.isEmpty()) cancelRunning_ = true;
    }
    cv_.notify_all();
}

void TPreloader::Dispose(std::unique_ptr<TPixelGraphic> picture) {
    if (!picture) return;
    {
        std::lock_guard lock(mutex_);
        trash_.push_back(std::move(picture));
    }
    cv_.notify_all();
}

bool TPreloader::Wanted(const Key& key) const {
    return std::find(wanted_.begin(), wanted_.end(), key) != wanted_.end();
}

void TPreloader::Want(const QStringList& paths, const TPreloadSettings& settings) {
    std::vector<TPreloadRequest> requests;
    for (const QString& p : paths)
        requests.push_back({p, 0});
    Want(requests, settings);
}

void TPreloader::Want(const std::vector<TPreloadRequest>& requests,
                      const TPreloadSettings& settings) {
    {
        std::lock_guard lock(mutex_);
        if (!enabled_) return;
        wanted_.clear();
        for (const TPreloadRequest& r : requests)
            if (!Wanted({r.path, r.reduce})) wanted_.push_back({r.path, r.reduce});
        for (auto it = results_.begin(); it != results_.end();)
            it = Wanted(it->first) && it->second.settings == settings ? std::next(it)
                                                                      : results_.erase(it);
        jobs_.clear();
        const Key running{running_, runningReduce_};
        for (const Key& k : wanted_)
            if (!results_.count(k) && k != running)
                jobs_.push_back({k.first, k.second, settings, generation_});
        if (!running_.isEmpty() && !Wanted(running)) cancelRunning_ = true;
    }
    cv_.notify_all();
}

void TPreloader::SetOnDone(std::function<void(const QString&, int)> onDone) {
    std::lock_guard lock(mutex_);
    onDone_ = std::move(onDone);
}

bool TPreloader::Pending(const QString& path, int reduce) const {
    std::lock_guard lock(mutex_);
    if (running_ == path && runningReduce_ == reduce) return true;
    for (const Job& j : jobs_)
        if (j.path == path && j.reduce == reduce) return true;
    return false;
}

std::unique_ptr<TPixelGraphic>
TPreloader::Take(const QString& path, const TPreloadSettings& settings, int reduce, bool wait) {
    std::unique_lock lock(mutex_);
    if (!enabled_) return nullptr;
    // A decode of this very file under way finishes sooner than a new one.
    if (wait) cv_.wait(lock, [&] { return running_ != path || runningReduce_ != reduce; });
    auto it = results_.find({path, reduce});
    if (it == results_.end()) return nullptr;
    Result r = std::move(it->second);
    results_.erase(it);
    lock.unlock();
    if (r.generation != generation_ || !(r.settings == settings) ||
        !(r.options == CurrentOptions()) || !(r.stamp == StampOf(path)))
        return nullptr;
    return std::move(r.picture);
}

void TPreloader::WaitIdle() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return jobs_.empty() && running_.isEmpty(); });
}

QStringList TPreloader::Ready() const {
    std::lock_guard lock(mutex_);
    QStringList r;
    for (const auto& [key, result] : results_)
        if (key.second == 0) r << key.first;
    return r;
}

void TPreloader::Run() {
    // Work ahead yields to the work asked for now: on a busy machine the
    // user-interface thread must not wait for the decode of a picture that
    // may never be shown.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
    std::unique_lock lock(mutex_);
    for (;;) {
        cv_.wait(lock, [&] { return stop_ || !jobs_.empty() || !trash_.empty(); });
        if (!trash_.empty()) {
            std::vector<std::unique_ptr<TPixelGraphic>> bin;
            bin.swap(trash_);
            lock.unlock();
            bin.clear();
            lock.lock();
            continue;
        }
        if (stop_) return;
        const Job job = jobs_.front();
        jobs_.pop_front();
        running_ = job.path;
        runningReduce_ = job.reduce;
        cancelRunning_ = false;
        lock.unlock();

        Result r;
        r.generation = job.generation;
        r.settings = job.settings;
        r.options = CurrentOptions();
        r.stamp = StampOf(job.path);
        bool ok = r.stamp.ok;
        // Decode only what fits the budget beside what is held already.
        if (ok) {
            const long long need = EstimatedBytes(job.path, job.reduce);
            lock.lock();
            const long long room = budget_ - HeldBytesLocked();
            lock.unlock();
            ok = need >= 0 && need <= room;
        }
        if (ok) {
            try {
                auto pg = std::make_unique<TPixelGraphic>();
                pg->SetReadWarningAction(job.settings.readWarningAction);
                pg->SetBackgroundColor(job.settings.backgroundColor);
                pg->SetLoadSizeHint(job.reduce);
                // An abandoned decode stops at its next progress report; its
                // rows are incomplete and it is thrown away below.
                pg->OnProgress = [this](TObject*, int, int, bool& abort) {
                    if (cancelRunning_) abort = true;
                };
                // The reader is the one the registry picks for the content
                // (signature first), not the name: a metafile named .jpg is
                // still a metafile, and metafiles are played on the
                // window's thread only.
                // A warning that asks in a message box cannot be shown from
                // here, and a picture read without it is not what the plain
                // load gives.
                const TPGWarningAction action = job.settings.readWarningAction;
                if (action == pgwaOKBox || action == pgwaOKCancelBox) throw TNotForWorker{};
                const std::string name = QFile::encodeName(job.path).toStdString();
                TFileStream file(name, TFileStream::OpenRead);
                TFileFormatReader* reader = FindReader(file, FileExtensionHint(name));
                if (!reader || !reader->WorkerSafe()) throw TNotForWorker{};
                pg->LoadFromStreamReader(file, *reader, 0);
                pg->OnProgress = nullptr;
                r.picture = std::move(pg);
            } catch (...) {
                // The plain load meets the same failure and reports it the
                // way the preview always does.
                ok = false;
            }
        }
        // A file written while it was read is no preload of what is there now.
        ok = ok && StampOf(job.path) == r.stamp;

        lock.lock();
        // The header may have told less than the picture took.
        if (ok && r.picture && r.picture->ImageSize() > budget_ - HeldBytesLocked()) ok = false;
        const Key key{job.path, job.reduce};
        if (ok && !cancelRunning_ && job.generation == generation_ && Wanted(key))
            results_[key] = std::move(r);
        running_.clear();
        runningReduce_ = 0;
        cv_.notify_all();
        if (onDone_) {
            const auto onDone = onDone_;
            lock.unlock();
            onDone(job.path, job.reduce);
            lock.lock();
        }
        // The picture of a dropped result is freed here, outside no lock
        // worth keeping: the worker holds it alone.
        if (r.picture) {
            lock.unlock();
            r.picture.reset();
            lock.lock();
        }
    }
}
