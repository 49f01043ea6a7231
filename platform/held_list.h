#pragma once
// The folders held in this process (HeldFolder), by path: the plug-in holds
// one. Each system's implementation keeps its descriptors or handles here.
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalvorin::platform {

template <class Handle>
class HeldList {
public:
    // The one list of the process. At the process's exit it can go before a
    // folder held in a static made earlier (the plug-in's state), whose
    // removal then has nothing left to do.
    static HeldList& process() {
        static HeldList list;
        return list;
    }
    HeldList(const HeldList&) = delete;
    HeldList& operator=(const HeldList&) = delete;
    ~HeldList() { gone() = true; }

    void add(const std::string& path, Handle handle) {
        const std::lock_guard<std::mutex> lock(mutex_);
        folders_.push_back({path, handle});
    }
    static void remove(Handle handle) {
        if (gone()) return;
        HeldList& list = process();
        const std::lock_guard<std::mutex> lock(list.mutex_);
        std::erase_if(list.folders_, [handle](const Held& h) { return h.handle == handle; });
    }
    // The folder held whose path, followed by a name without a separator,
    // is `path`: its handle and that name.
    std::optional<std::pair<Handle, std::string>> find(const std::string& path, std::string_view separators) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const Held& h : folders_)
            if (path.size() > h.path.size() && path.compare(0, h.path.size(), h.path) == 0 &&
                path.find_first_of(separators, h.path.size()) == std::string::npos)
                return std::pair{h.handle, path.substr(h.path.size())};
        return std::nullopt;
    }

private:
    HeldList() = default;
    // Never destroyed itself, so it still answers after the list is gone.
    static bool& gone() {
        static bool flag = false;
        return flag;
    }
    struct Held {
        std::string path;
        Handle handle;
    };
    std::mutex mutex_;
    std::vector<Held> folders_;
};

}  // namespace kalvorin::platform
