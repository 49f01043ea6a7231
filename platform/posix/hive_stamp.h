#pragma once
// What the settings reader compares to tell that the hive file has not
// changed since its last read (registry_hive.cpp).
#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <ctime>

namespace kalvorin::platform::hive {

struct Stamp {
    dev_t dev;
    ino_t ino;
    off_t size;
    timespec mtime;
    timespec ctime;
    std::array<unsigned char, 4> change_counter;

    bool operator==(const Stamp& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec && change_counter == o.change_counter;
    }
};

}  // namespace kalvorin::platform::hive
