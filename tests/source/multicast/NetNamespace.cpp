#include "NetNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

extern char** environ;

namespace kyv::test {

namespace {

std::atomic<int> gCount{0};

}  // namespace

bool RunQuietly(const std::vector<std::string>& Args) {
  std::vector<char*> argv;
  for (const std::string& arg : Args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TNetNamespace::TNetNamespace()
    : FName("kyvmc-" + std::to_string(::getpid()) + "-" + std::to_string(gCount++)) {
  if (::geteuid() != 0) {
    FReason = "network namespaces need root";
    return;
  }
  if (!RunQuietly({"ip", "netns", "add", FName})) {
    FReason = "`ip netns add` is not permitted here (or ip is missing)";
    return;
  }
  FMade = true;
  if (!Ip({"link", "set", "lo", "up"}) || !Ip({"link", "set", "lo", "multicast", "on"}) ||
      !Ip({"route", "add", "224.0.0.0/4", "dev", "lo"}))
    FReason = "the namespace's loopback could not be set up for multicast";
}

TNetNamespace::~TNetNamespace() {
  if (FMade) RunQuietly({"ip", "netns", "del", FName});
}

bool TNetNamespace::Ip(const std::vector<std::string>& Args) {
  std::vector<std::string> command = {"ip", "-n", FName};
  command.insert(command.end(), Args.begin(), Args.end());
  return RunQuietly(command);
}

std::vector<std::string> TNetNamespace::ExecPrefix() const {
  std::string ip = "ip";
  for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
    if (::access(path, X_OK) == 0) {
      ip = path;
      break;
    }
  }
  return {ip, "netns", "exec", FName};
}

bool TNetNamespace::Run(const std::function<void()>& Body) {
  bool entered = false;
  std::thread runner([&] {
    const int fd = ::open(("/run/netns/" + FName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    entered = ::setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    if (entered) Body();
  });
  runner.join();
  return entered;
}

}  // namespace kyv::test
