#include "platform/process_id.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

#include <gtest/gtest.h>

namespace zav5::platform {
namespace {

TEST(ProcessIdTest, IsTheIdTheSystemGaveTheProcess) {
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::uint32_t id = ProcessId();
    const bool sent = ::write(channel[1], &id, sizeof id) == static_cast<ssize_t>(sizeof id);
    ::_exit(sent ? 0 : 1);
  }
  ::close(channel[1]);
  std::uint32_t id = 0;
  const ssize_t received = ::read(channel[0], &id, sizeof id);
  ::close(channel[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);

  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(received, static_cast<ssize_t>(sizeof id));
  EXPECT_EQ(id, static_cast<std::uint32_t>(child));
  EXPECT_NE(id, ProcessId());
}

}  // namespace
}  // namespace zav5::platform
