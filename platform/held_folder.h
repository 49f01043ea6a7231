#pragma once
// The base folder held open from the moment it is checked. While it is held,
// a file of the base folder (Place::BaseFolder in textfile.h) whose path is
// the held folder's path followed by a name is opened in the folder held,
// never by looking the path up again: a folder moved away and another put
// in its place, by whoever owns a folder above it, is never used.
#include <cstdint>
#include <string>

namespace kalvorin::platform {

class HeldFolder {
public:
    // Opens the folder (a path that ends in the separator) and checks it and
    // the folders above it as check_private_folder does; raises EInOutError
    // when it cannot be opened or is refused.
    explicit HeldFolder(const std::string& folder);
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    ~HeldFolder();

    const std::string& path() const { return path_; }
    // Where the path leads now: one look at it, cheap enough for every
    // message. Nothing: the folder held was moved or removed and nothing is
    // in its place; Other: another folder (or file) is there, or one that
    // cannot be looked at.
    enum class Leads { Held, Nothing, Other };
    Leads leads() const;

private:
    std::string path_;
    // A descriptor, or a Windows handle (whose invalid value is also -1).
    std::intptr_t handle_ = -1;
};

}  // namespace kalvorin::platform
