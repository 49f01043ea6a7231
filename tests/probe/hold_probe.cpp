// Another program that has a file open without sharing it, as an editor or a
// backup tool may: opens FILE with share mode 0, prints "held" and keeps it
// so until its standard input ends. Status 1, and the system's error code,
// when it cannot open it.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <type_traits>

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// Read and write access, so that neither reading nor writing may share it.
Handle hold(const char* path) {
    const HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
    return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: hold-probe FILE\n");
        return 2;
    }
    const Handle held = hold(argv[1]);
    if (!held) {
        std::fprintf(stderr, "hold-probe: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
