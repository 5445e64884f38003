#include "ChildProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

extern char** environ;

namespace kyv::test {
namespace {

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

TChildProcess::TChildProcess(const std::vector<std::string>& Args,
                             const std::filesystem::path& OutputFile) {
  std::vector<char*> argv;
  for (const std::string& arg : Args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, OutputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) FPid = pid;
  posix_spawn_file_actions_destroy(&actions);
}

TChildProcess::~TChildProcess() {
  Stop();
}

bool TChildProcess::Running() {
  if (FPid <= 0) return false;
  int status = 0;
  if (::waitpid(FPid, &status, WNOHANG) == FPid) {
    FPid = -1;
    return false;
  }
  return true;
}

void TChildProcess::Stop() {
  if (FPid <= 0) return;
  SignalAndWait(SIGTERM, std::chrono::seconds(2));
  if (FPid <= 0) return;
  ::kill(FPid, SIGKILL);
  ::waitpid(FPid, nullptr, 0);
  FPid = -1;
}

int TChildProcess::SignalAndWait(int Signal, std::chrono::milliseconds Timeout) {
  if (FPid <= 0) return -1;
  ::kill(FPid, Signal);
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  for (;;) {
    int status = 0;
    if (::waitpid(FPid, &status, WNOHANG) == FPid) {
      FPid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

uint16_t FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address = LoopbackAddress(0);
  uint16_t port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

bool WaitForLoopbackPort(uint16_t Port, TChildProcess& Child, std::chrono::milliseconds Timeout) {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!Child.Running()) return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const sockaddr_in address = LoopbackAddress(Port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

uint16_t WaitForReportedPort(TChildProcess& Child, const std::filesystem::path& Output,
                             const std::string& Pattern, std::chrono::milliseconds Timeout) {
  const std::regex pattern(Pattern);
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  for (;;) {
    std::smatch match;
    const std::string text = ReadTextFile(Output);
    if (std::regex_search(text, match, pattern)) {
      const unsigned long port = std::stoul(match[1].str());
      return port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : 0;
    }
    if (!Child.Running() || std::chrono::steady_clock::now() >= deadline) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string ReadTextFile(const std::filesystem::path& Path) {
  std::ifstream file(Path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::unique_ptr<TChildProcess> StartLoopbackServer(const TLoopbackServerSetup& Setup,
                                                   uint16_t& Port, std::string& Reason) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    Port = FreeLoopbackPort();
    if (Port == 0) {
      Reason = "no free port on 127.0.0.1";
      continue;
    }
    const std::vector<std::string> args = Setup.Configure(Port);
    auto child = std::make_unique<TChildProcess>(args, Setup.OutputFile);
    if (!child->Started()) {
      Reason = "cannot run " + args.front();
      return nullptr;
    }
    if (WaitForLoopbackPort(Port, *child, std::chrono::seconds(5))) return child;
    child.reset();
    Reason = Setup.Name + " did not start: " + ReadTextFile(Setup.OutputFile) +
             (Setup.Diagnose ? Setup.Diagnose() : std::string());
  }
  return nullptr;
}

}  // namespace kyv::test
