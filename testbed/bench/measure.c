// SPDX-License-Identifier: MIT
/* tqbench-measure: runs one command once and prints its wall time in
 * microseconds, its peak resident set in KiB, its exit status and its CPU
 * time (user and system) in microseconds, on one line:
 * "<wall_us> <maxrss_kib> <status> <cpu_us>". The command's standard output goes
 * to /dev/null; its standard error is kept. Only the child's life is timed:
 * from just before the spawn to the return of wait4. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: tqbench-measure PROGRAM [ARG...]\n");
    return 2;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  struct timespec start;
  struct timespec end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t child;
  if (posix_spawn(&child, argv[1], &actions, NULL, argv + 1, environ) != 0) {
    perror(argv[1]);
    return 2;
  }
  int status = 0;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) {
    perror("wait4");
    return 2;
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  posix_spawn_file_actions_destroy(&actions);

  const long long micros =
      (long long)(end.tv_sec - start.tv_sec) * 1000000 + (end.tv_nsec - start.tv_nsec) / 1000;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const long long cpu = (long long)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 +
                        usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
  printf("%lld %ld %d %lld\n", micros, usage.ru_maxrss, code, cpu);
  return 0;
}
