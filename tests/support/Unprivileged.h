// Runs a piece of a test as an ordinary user. Root may write any file whatever its permission bits, so tests
// of files that the user may not write run their body in a child process that, when the tests run as root,
// has become the user "nobody" (uid and gid 65534).
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

namespace unprivileged {

inline constexpr uid_t NobodyId = 65534;

// Body's text as the child returned it, or nullopt when the child could not give up root or did not end
// normally. An exception leaving Body is returned as "exception: " and its message.
inline std::optional<std::string> Run(const std::function<std::string()>& Body) {
  int channel[2];
  if (::pipe(channel) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0))
      ::_exit(2);
    std::string text;
    try {
      text = Body();
    } catch (const std::exception& e) {
      text = std::string("exception: ") + e.what();
    }
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(channel[1], text.data() + done, text.size() - done);
      if (n <= 0) ::_exit(3);
      done += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; child > 0 && (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  ::close(channel[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return text;
}

}  // namespace unprivileged
