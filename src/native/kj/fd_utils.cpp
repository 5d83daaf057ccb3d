#include "kj/fd_utils.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "errors/throw_error.h"
#include "logging/log.h"

namespace nuvrel::kj_asio {

std::optional<kj::AutoCloseFd> duplicateFdAndCloseOriginal(kj::Own<kj::AsyncIoStream>&& stream) {
  KJ_IF_MAYBE (fd, stream->getFd()) {
    const int duplicate = ::dup(*fd);
    if (duplicate < 0) {
      NUVREL_LOG(warning) << "Creation of duplicated socket failed.";
      return std::nullopt;
    }
    stream = nullptr;
    return kj::AutoCloseFd(duplicate);
  }
  NUVREL_LOG(debug) << "Fd cannot be duplicated. Stream is not backed by a file descriptor.";
  return std::nullopt;
}

int openPidFd(int pid) {
  const long fd = ::syscall(434 /* pidfd_open */, pid, 0);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOSYS) {
      throwError(KS_ERROR_GENERAL,
                 "pidfd_open() is not available on this kernel: awaiting a process through a "
                 "file descriptor requires Linux 5.3 or newer");
    }
    throwError(KS_ERROR_GENERAL, "pidfd_open() failed for PID {}: {}", pid, std::strerror(error));
  }
  return static_cast<int>(fd);
}

siginfo_t waitForPidFd(int fd, int options) {
  siginfo_t info;
  std::memset(&info, 0, sizeof(info));
  if (::waitid(static_cast<idtype_t>(3) /* P_PIDFD */, static_cast<id_t>(fd), &info, options) != 0) {
    const int error = errno;
    if (error == EINVAL) {
      throwError(KS_ERROR_GENERAL,
                 "waitid() does not support P_PIDFD on this kernel: awaiting a process through "
                 "a file descriptor requires Linux 5.4 or newer");
    }
    throwError(KS_ERROR_GENERAL, "waitid() failed: {}", std::strerror(error));
  }
  return info;
}

}  // namespace nuvrel::kj_asio
