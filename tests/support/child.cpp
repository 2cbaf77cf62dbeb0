#include "support/child.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

std::string in_child(const std::function<std::string()> &body) {
  int fds[2];
  if (pipe(fds) != 0) return "[no pipe]";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string out = body();
    _exit(write(fds[1], out.data(), out.size()) == ssize_t(out.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, std::size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) out += "[signal " + std::to_string(WTERMSIG(status)) + "]";
  return out;
}
