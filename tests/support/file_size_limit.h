#pragma once
// Limits the size of files this process writes, so the next write past it fails as on a full
// disk; works for root too, whom permission bits do not stop. SIGXFSZ is ignored meanwhile so
// the write reports an error instead of ending the process.

#include <csignal>
#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    [[nodiscard]] bool active() const { return active_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool active_ = false;
};
