// File-descriptor helpers: taking a socket out of a stream, and awaiting a
// process through a process descriptor. Nothing in the module calls them.
#pragma once

#include <kj/async-io.h>
#include <kj/io.h>
#include <signal.h>

#include <optional>

namespace nuvrel::kj_asio {

// A duplicate of the stream's descriptor, after which the stream (and its
// original descriptor) is destroyed. Nothing, and the stream stays with the
// caller, if it has no descriptor or dup fails.
std::optional<kj::AutoCloseFd> duplicateFdAndCloseOriginal(kj::Own<kj::AsyncIoStream>&& stream);

// pidfd_open(pid, 0). Throws nuvrel::Exception 0x8000 on failure.
int openPidFd(int pid);

// waitid(P_PIDFD, fd, ..., options); blocks. Throws nuvrel::Exception 0x8000
// on failure.
siginfo_t waitForPidFd(int fd, int options);

}  // namespace nuvrel::kj_asio
