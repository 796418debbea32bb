// A slow network share, simulated: loaded with LD_PRELOAD, it delays every
// file operation on a path inside $SHARE_SHIM_DIR (or on a descriptor opened
// there) by 1 ms, and every sync of one by 10 ms, as a round trip to an SMB
// server would. Relative paths count as inside when the current folder is.
// At exit it prints on stderr how many operations and syncs it delayed.
//
// Only calls that go through the C library's exported functions are seen;
// the library's own internal calls (inside realpath(), for example) are not,
// so bench/share_ops.sh also counts with strace, which sees every call.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr int kMaxFd = 4096;
std::atomic<bool> onShare[kMaxFd];
std::atomic<unsigned> operations{0};
std::atomic<unsigned> syncs{0};

const char* shareDir() {
  static const char* dir = std::getenv("SHARE_SHIM_DIR");
  return dir;
}

void pause(long micros) {
  timespec t{micros / 1000000, (micros % 1000000) * 1000};
  while (nanosleep(&t, &t) != 0) {
  }
}

bool inside(const char* path) {
  const char* dir = shareDir();
  if (!dir || !path) return false;
  const std::size_t n = std::strlen(dir);
  if (path[0] == '/') return std::strncmp(path, dir, n) == 0 && (path[n] == '/' || path[n] == '\0');
  char cwd[4096];
  return getcwd(cwd, sizeof cwd) && std::strncmp(cwd, dir, n) == 0 && (cwd[n] == '/' || cwd[n] == '\0');
}

bool tracked(int fd) { return fd >= 0 && fd < kMaxFd && onShare[fd].load(); }

void operation(bool slow) {
  if (!slow) return;
  ++operations;
  pause(1000);
}

void sync(bool slow) {
  if (!slow) return;
  ++syncs;
  pause(10000);
}

void track(int fd, bool slow) {
  if (fd >= 0 && fd < kMaxFd) onShare[fd] = slow;
}

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

struct Report {
  ~Report() {
    if (shareDir()) std::fprintf(stderr, "share shim: %u operations, %u syncs delayed\n", operations.load(), syncs.load());
  }
} report;

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  static auto real = next<int (*)(const char*, int, ...)>("open");
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
  va_end(args);
  const bool slow = inside(path);
  operation(slow);
  const int fd = real(path, flags, mode);
  track(fd, slow);
  return fd;
}
int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
  va_end(args);
  return open(path, flags, mode);
}
int openat(int dirfd, const char* path, int flags, ...) {
  static auto real = next<int (*)(int, const char*, int, ...)>("openat");
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
  va_end(args);
  const bool slow = (path && path[0] != '/' && dirfd != AT_FDCWD) ? tracked(dirfd) : inside(path);
  operation(slow);
  const int fd = real(dirfd, path, flags, mode);
  track(fd, slow);
  return fd;
}
int openat64(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
  va_end(args);
  return openat(dirfd, path, flags, mode);
}
int close(int fd) {
  static auto real = next<int (*)(int)>("close");
  operation(tracked(fd));
  track(fd, false);
  return real(fd);
}

#define POVEZAVA_SHIM_FD(ret, name, params, args, kind)   \
  ret name params {                                       \
    static auto real = next<ret(*) params>(#name);        \
    kind(tracked(fd));                                    \
    return real args;                                     \
  }
POVEZAVA_SHIM_FD(ssize_t, read, (int fd, void* b, size_t n), (fd, b, n), operation)
POVEZAVA_SHIM_FD(ssize_t, write, (int fd, const void* b, size_t n), (fd, b, n), operation)
POVEZAVA_SHIM_FD(ssize_t, pread, (int fd, void* b, size_t n, off_t o), (fd, b, n, o), operation)
POVEZAVA_SHIM_FD(ssize_t, pread64, (int fd, void* b, size_t n, off_t o), (fd, b, n, o), operation)
POVEZAVA_SHIM_FD(ssize_t, pwrite, (int fd, const void* b, size_t n, off_t o), (fd, b, n, o), operation)
POVEZAVA_SHIM_FD(ssize_t, pwrite64, (int fd, const void* b, size_t n, off_t o), (fd, b, n, o), operation)
POVEZAVA_SHIM_FD(int, fstat, (int fd, struct stat* s), (fd, s), operation)
POVEZAVA_SHIM_FD(int, fstat64, (int fd, struct stat64* s), (fd, s), operation)
POVEZAVA_SHIM_FD(int, ftruncate, (int fd, off_t n), (fd, n), operation)
POVEZAVA_SHIM_FD(int, ftruncate64, (int fd, off_t n), (fd, n), operation)
POVEZAVA_SHIM_FD(int, fchmod, (int fd, mode_t m), (fd, m), operation)
POVEZAVA_SHIM_FD(int, fchown, (int fd, uid_t u, gid_t g), (fd, u, g), operation)
POVEZAVA_SHIM_FD(int, flock, (int fd, int op), (fd, op), operation)
POVEZAVA_SHIM_FD(int, fsync, (int fd), (fd), sync)
POVEZAVA_SHIM_FD(int, fdatasync, (int fd), (fd), sync)
#undef POVEZAVA_SHIM_FD

int fcntl(int fd, int cmd, ...) {
  static auto real = next<int (*)(int, int, ...)>("fcntl");
  va_list args;
  va_start(args, cmd);
  void* arg = va_arg(args, void*);
  va_end(args);
  operation(tracked(fd));
  return real(fd, cmd, arg);
}
int fcntl64(int fd, int cmd, ...) {
  va_list args;
  va_start(args, cmd);
  void* arg = va_arg(args, void*);
  va_end(args);
  return fcntl(fd, cmd, arg);
}

#define POVEZAVA_SHIM_PATH(ret, name, params, args, path)  \
  ret name params {                                        \
    static auto real = next<ret(*) params>(#name);         \
    operation(inside(path));                               \
    return real args;                                      \
  }
POVEZAVA_SHIM_PATH(int, stat, (const char* p, struct stat* s), (p, s), p)
POVEZAVA_SHIM_PATH(int, stat64, (const char* p, struct stat64* s), (p, s), p)
POVEZAVA_SHIM_PATH(int, lstat, (const char* p, struct stat* s), (p, s), p)
POVEZAVA_SHIM_PATH(int, lstat64, (const char* p, struct stat64* s), (p, s), p)
POVEZAVA_SHIM_PATH(int, fstatat, (int d, const char* p, struct stat* s, int f), (d, p, s, f), p)
POVEZAVA_SHIM_PATH(int, fstatat64, (int d, const char* p, struct stat64* s, int f), (d, p, s, f), p)
POVEZAVA_SHIM_PATH(int, statx, (int d, const char* p, int f, unsigned m, struct statx* s), (d, p, f, m, s), p)
POVEZAVA_SHIM_PATH(int, access, (const char* p, int m), (p, m), p)
POVEZAVA_SHIM_PATH(int, faccessat, (int d, const char* p, int m, int f), (d, p, m, f), p)
POVEZAVA_SHIM_PATH(ssize_t, readlink, (const char* p, char* b, size_t n), (p, b, n), p)
POVEZAVA_SHIM_PATH(int, unlink, (const char* p), (p), p)
POVEZAVA_SHIM_PATH(int, rename, (const char* a, const char* b), (a, b), a)
POVEZAVA_SHIM_PATH(int, link, (const char* a, const char* b), (a, b), a)
POVEZAVA_SHIM_PATH(int, mkdir, (const char* p, mode_t m), (p, m), p)
POVEZAVA_SHIM_PATH(char*, realpath, (const char* p, char* r), (p, r), p)
#undef POVEZAVA_SHIM_PATH

DIR* opendir(const char* path) {
  static auto real = next<DIR* (*)(const char*)>("opendir");
  const bool slow = inside(path);
  operation(slow);
  DIR* dir = real(path);
  if (dir) track(dirfd(dir), slow);
  return dir;
}
// A folder's entries come in large blocks: one round trip for a listing,
// delayed when it ends.
struct dirent* readdir(DIR* dir) {
  static auto real = next<struct dirent* (*)(DIR*)>("readdir");
  struct dirent* entry = real(dir);
  if (!entry) operation(tracked(dirfd(dir)));
  return entry;
}
struct dirent64* readdir64(DIR* dir) {
  static auto real = next<struct dirent64* (*)(DIR*)>("readdir64");
  struct dirent64* entry = real(dir);
  if (!entry) operation(tracked(dirfd(dir)));
  return entry;
}
int closedir(DIR* dir) {
  static auto real = next<int (*)(DIR*)>("closedir");
  const int fd = dirfd(dir);
  operation(tracked(fd));
  track(fd, false);
  return real(dir);
}

}  // extern "C"
