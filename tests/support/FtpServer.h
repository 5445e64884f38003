#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace kyv::test {

// A vsftpd serving Root read-only to anonymous users on 127.0.0.1 at a free port, run in the
// foreground as a child with its configuration and logs in a folder of its own. vsftpd needs
// root to change to its anonymous user: as another user, or when vsftpd is missing or cannot
// start, Started() is false and Reason() says why, so that the test can skip. Root and the
// files in it must be readable by everyone (the constructor opens Root itself).
class TFtpServer {
 public:
  explicit TFtpServer(const std::filesystem::path& Root);
  ~TFtpServer();
  TFtpServer(const TFtpServer&) = delete;
  TFtpServer& operator=(const TFtpServer&) = delete;

  bool Started() const { return FStarted; }
  const std::string& Reason() const { return FReason; }
  uint16_t Port() const { return FPort; }
  // "ftp://127.0.0.1:<port>/" followed by Path as given.
  std::string Url(const std::string& Path) const;

 private:
  // Writes the configuration for Port; the command line that runs it.
  std::vector<std::string> Configure(const std::filesystem::path& Root, uint16_t Port);

  TTempFolder FFolder{"kyv_vsftpd"};
  std::unique_ptr<TChildProcess> FProcess;
  uint16_t FPort = 0;
  bool FStarted = false;
  std::string FReason;
};

}  // namespace kyv::test
