#pragma once

// Helpers of the station's program tests: a recording, the program run to its end or as a child
// that the test signals, and a player that the test drives byte by byte.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "TempFolder.h"
#include "decoder/FileFormat.h"
#include "source/live/StationMessageHeader.h"
#include "writer/RecordingWriter.h"

namespace kyv::test {

using namespace std::chrono_literals;

inline constexpr auto kGuard = 5s;

// A recording of 1.2 s: a key frame every 400 ms and small frames between them.
inline std::filesystem::path Recording(const TTempFolder& Folder) {
  const std::filesystem::path path = Folder / "r.kyv";
  TRecordingWriter writer(path, 64, 48);
  for (uint32_t t = 0; t <= 1200; t += 100)
    writer.AddFrame(t, t % 400 == 0 ? ftKeyFrame : ftCopyRect, ckNone, 0, 0,
                    std::vector<uint8_t>(32 + t / 100, static_cast<uint8_t>(t / 100)));
  writer.Finish();
  return path;
}

struct TRun {
  int Status = -1;
  std::string Output;
};

// Runs kyvstation to its end with Args; standard output and error together.
inline TRun RunToEnd(const TTempFolder& Folder, const std::string& Args) {
  const std::string out = (Folder / "run.txt").string();
  const std::string command =
      std::string("'") + KYVSTATION_PATH + "' " + Args + " >'" + out + "' 2>&1 </dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadTextFile(out)};
}

// A kyvstation that the test signals itself and whose exit status it reads.
class TStationChild {
 public:
  // Prefix, when given, runs the station through another program ("ip netns exec NS").
  TStationChild(const TTempFolder& Folder, std::vector<std::string> Args,
                const std::vector<std::string>& Prefix = {})
      : FOutput(Folder / "child.txt"), FProcess(CommandLine(std::move(Args), Prefix), FOutput) {}

  // The port the station chose; known once Ready.
  uint16_t Port() const { return FPort; }
  std::string Output() const { return ReadTextFile(FOutput); }

  // Waits until the station says it serves, and on which port: it listens from then on. No
  // probe connection is made, so the station has no player when the test begins.
  bool Ready() {
    FPort = WaitForReportedPort(FProcess, FOutput, kStationServingPattern, kGuard);
    return FPort != 0;
  }

  bool WaitForOutput(const std::string& Text) {
    const auto deadline = std::chrono::steady_clock::now() + kGuard;
    while (Output().find(Text) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= deadline || !FProcess.Started()) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }

  // Sends Signal and returns the exit status, -1 when the program did not exit by itself.
  int SignalAndWait(int Signal) { return FProcess.SignalAndWait(Signal, kGuard); }

 private:
  // The station binds port 0 and reports the port the system gave it.
  static std::vector<std::string> CommandLine(std::vector<std::string> Args,
                                              const std::vector<std::string>& Prefix) {
    Args.insert(Args.begin(), {KYVSTATION_PATH, "--bind", "127.0.0.1", "--port", "0"});
    Args.insert(Args.begin(), Prefix.begin(), Prefix.end());
    return Args;
  }

  std::filesystem::path FOutput;
  TChildProcess FProcess;
  uint16_t FPort = 0;
};

// A player that the test drives byte by byte.
class TRawPlayer {
 public:
  explicit TRawPlayer(uint16_t Port) {
    FSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(Port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    FConnected =
        ::connect(FSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~TRawPlayer() { ::close(FSocket); }

  bool Connected() const { return FConnected; }
  int Socket() const { return FSocket; }

  void Send(uint8_t Type, const std::string& Text) {
    std::string bytes(8, '\0');
    TStationMessageHeader head{};
    head.MessageType = Type;
    head.Length = static_cast<uint32_t>(Text.size());
    head.Write(reinterpret_cast<uint8_t*>(bytes.data()));
    bytes += Text;
    ASSERT_EQ(::send(FSocket, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }

  // The next message; nullopt when the station closes or nothing comes in time.
  std::optional<std::pair<uint8_t, std::string>> Read() {
    uint8_t head[8];
    if (!ReadExact(head, 8)) return std::nullopt;
    const TStationMessageHeader header = TStationMessageHeader::Read(head);
    std::string payload(header.Length, '\0');
    if (!ReadExact(payload.data(), payload.size())) return std::nullopt;
    return std::make_pair(header.MessageType, std::move(payload));
  }

  // True when the station closed the connection in time (what it sent meanwhile is dropped).
  bool Closed() {
    char scratch[4096];
    for (;;) {
      pollfd wait{FSocket, POLLIN, 0};
      if (::poll(&wait, 1, 5000) <= 0) return false;
      if (::recv(FSocket, scratch, sizeof scratch, 0) <= 0) return true;
    }
  }

  void LogIn() { Send(mtString, "Login\r\nChannel=c\r\nComputerName=test\r\n\r\n"); }

 private:
  bool ReadExact(void* Buffer, size_t Count) {
    auto* at = static_cast<char*>(Buffer);
    while (Count > 0) {
      pollfd wait{FSocket, POLLIN, 0};
      if (::poll(&wait, 1, 5000) <= 0) return false;
      const ssize_t n = ::recv(FSocket, at, Count, 0);
      if (n <= 0) return false;
      at += n;
      Count -= static_cast<size_t>(n);
    }
    return true;
  }

  int FSocket = -1;
  bool FConnected = false;
};

}  // namespace kyv::test
