// Makes COUNT empty files in DIR in one process: 100,000 touch processes would take minutes.
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: nbx_bench_make_files DIR COUNT\n");
        return 2;
    }
    const int dir = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        std::fprintf(stderr, "nbx_bench_make_files: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    for (long i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file-%06ld.txt", i);
        const int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::fprintf(stderr, "nbx_bench_make_files: %s: %s\n", name, std::strerror(errno));
            return 1;
        }
        ::close(fd);
    }
    ::close(dir);
    return 0;
}
