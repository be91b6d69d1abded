// Preloaded into a program under test (LD_PRELOAD), it numbers the calls that change names in
// the file system (link, rename, unlink, mkdir, rmdir and their *at forms) and can end the
// program with SIGKILL just before one of them, so that a kill test reaches every step of a
// file operation, not only the gaps between the journal's lines.
//
//   WI_KILL_PROGRAM  only the process whose executable has this name counts (else every one)
//   WI_KILL_AT_CALL  the number (from 1) of the call the process is killed before
//   WI_KILL_TRACE    a host file that gets one line per call: number, call, host paths
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int g_active = -1;  // -1: not decided yet
static long g_killAt = 0;
static int g_trace = -1;
static atomic_long g_calls;

static void Decide(void) {
  const char* program = getenv("WI_KILL_PROGRAM");
  int active = 1;
  if (program && *program) {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    exe[n > 0 ? n : 0] = '\0';
    const char* base = strrchr(exe, '/');
    active = strcmp(base ? base + 1 : exe, program) == 0;
  }
  if (active) {
    const char* at = getenv("WI_KILL_AT_CALL");
    g_killAt = at ? strtol(at, NULL, 10) : 0;
    const char* trace = getenv("WI_KILL_TRACE");
    if (trace && *trace) g_trace = open(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  }
  g_active = active;
}

// The host path of name in the folder dir (AT_FDCWD or a descriptor).
static void PathOf(int dir, const char* name, char* out, size_t size) {
  if (name[0] == '/' || dir == AT_FDCWD) {
    snprintf(out, size, "%s", name);
    return;
  }
  char link[64], folder[PATH_MAX];
  snprintf(link, sizeof link, "/proc/self/fd/%d", dir);
  ssize_t n = readlink(link, folder, sizeof folder - 1);
  folder[n > 0 ? n : 0] = '\0';
  snprintf(out, size, "%s/%s", folder, name);
}

// Counts one call; kills the process when it is the one asked for.
static void Count(const char* call, int dir1, const char* name1, int dir2, const char* name2) {
  if (g_active < 0) Decide();
  if (!g_active) return;
  long n = atomic_fetch_add(&g_calls, 1) + 1;
  if (g_trace >= 0) {
    char a[2 * PATH_MAX], b[2 * PATH_MAX], line[4 * PATH_MAX + 64];
    PathOf(dir1, name1, a, sizeof a);
    b[0] = '\0';
    if (name2) PathOf(dir2, name2, b, sizeof b);
    int len = snprintf(line, sizeof line, "%ld %s %s\t%s\n", n, call, a, b);
    if (len > 0 && write(g_trace, line, (size_t)len) < 0) {
    }
  }
  if (n == g_killAt) raise(SIGKILL);
}

#define NEXT(type, name) ((type)dlsym(RTLD_NEXT, name))

int link(const char* from, const char* to) {
  Count("link", AT_FDCWD, from, AT_FDCWD, to);
  return NEXT(int (*)(const char*, const char*), "link")(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  Count("link", fromDir, from, toDir, to);
  return NEXT(int (*)(int, const char*, int, const char*, int), "linkat")(fromDir, from, toDir, to,
                                                                          flags);
}

int rename(const char* from, const char* to) {
  Count("rename", AT_FDCWD, from, AT_FDCWD, to);
  return NEXT(int (*)(const char*, const char*), "rename")(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
  Count("rename", fromDir, from, toDir, to);
  return NEXT(int (*)(int, const char*, int, const char*), "renameat")(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  Count("rename", fromDir, from, toDir, to);
  return NEXT(int (*)(int, const char*, int, const char*, unsigned), "renameat2")(fromDir, from,
                                                                                  toDir, to, flags);
}

int unlink(const char* path) {
  Count("unlink", AT_FDCWD, path, AT_FDCWD, NULL);
  return NEXT(int (*)(const char*), "unlink")(path);
}

int unlinkat(int dir, const char* path, int flags) {
  Count("unlink", dir, path, AT_FDCWD, NULL);
  return NEXT(int (*)(int, const char*, int), "unlinkat")(dir, path, flags);
}

int mkdir(const char* path, mode_t mode) {
  Count("mkdir", AT_FDCWD, path, AT_FDCWD, NULL);
  return NEXT(int (*)(const char*, mode_t), "mkdir")(path, mode);
}

int mkdirat(int dir, const char* path, mode_t mode) {
  Count("mkdir", dir, path, AT_FDCWD, NULL);
  return NEXT(int (*)(int, const char*, mode_t), "mkdirat")(dir, path, mode);
}

int rmdir(const char* path) {
  Count("rmdir", AT_FDCWD, path, AT_FDCWD, NULL);
  return NEXT(int (*)(const char*), "rmdir")(path);
}
