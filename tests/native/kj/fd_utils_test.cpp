#include "kj/fd_utils.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "errors/exception.h"
#include "support/event_loop.h"

namespace nuvrel::kj_asio {
namespace {

TEST(FdUtils, DuplicateTakesTheSocketOutOfAStreamOrLeavesAPipeAlone) {
  ThreadLocalExecutor<> executor;
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  kj::AutoCloseFd peer(fds[1]);
  kj::Own<kj::AsyncIoStream> stream = executor.ioProvider().wrapSocketFd(kj::AutoCloseFd(fds[0]));

  auto duplicate = duplicateFdAndCloseOriginal(kj::mv(stream));
  ASSERT_TRUE(duplicate);
  EXPECT_EQ(stream.get(), nullptr) << "the original stream was not destroyed";
  ASSERT_EQ(::write(duplicate->get(), "x", 1), 1);
  char byte = 0;
  ASSERT_EQ(::read(peer.get(), &byte, 1), 1);
  EXPECT_EQ(byte, 'x');

  auto pipe = kj::newTwoWayPipe();
  EXPECT_FALSE(duplicateFdAndCloseOriginal(kj::mv(pipe.ends[0])));
  EXPECT_NE(pipe.ends[0].get(), nullptr) << "a stream without descriptor stays with the caller";
}

TEST(FdUtils, AProcessIsAwaitedThroughItsDescriptor) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::_exit(7);
  }
  const int fd = openPidFd(child);
  ASSERT_GE(fd, 0);
  const siginfo_t info = waitForPidFd(fd, WEXITED);
  ::close(fd);
  EXPECT_EQ(info.si_pid, child);
  EXPECT_EQ(info.si_code, CLD_EXITED);
  EXPECT_EQ(info.si_status, 7);

  try {
    openPidFd(-5);
    ADD_FAILURE() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(std::string(error.what()).rfind("pidfd_open() failed for PID -5: ", 0), 0u) << error.what();
  }
  EXPECT_THROW(waitForPidFd(-1, WEXITED), Exception);
}

}  // namespace
}  // namespace nuvrel::kj_asio
