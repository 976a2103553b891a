// A process-wide slot per platform service. Code asks Service<Clock>::Get();
// the build links the real implementation as Default(), and a test can put a
// double in its place for the lifetime of a ScopedService.
#pragma once

namespace kumoya::platform {

template <class Interface>
struct Service {
    static Interface& Get() { return override_ ? *override_ : Default(); }
    static Interface& Default();  // defined by the win32 or posix layer
    static inline Interface* override_ = nullptr;
};

template <class Interface>
class ScopedService {
public:
    explicit ScopedService(Interface& replacement) : previous_(Service<Interface>::override_) {
        Service<Interface>::override_ = &replacement;
    }
    ~ScopedService() { Service<Interface>::override_ = previous_; }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;

private:
    Interface* previous_;
};

}  // namespace kumoya::platform
