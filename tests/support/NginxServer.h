#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace kyv::test {

// An nginx serving Root on 127.0.0.1 at a free port, run in the foreground as a child with its
// configuration, pid file, logs and temporary folders in a folder of its own; stopped and
// cleaned up by the destructor. When nginx is missing or cannot start, Started() is false and
// Reason() says why, so that the test can skip.
class TNginxServer {
 public:
  explicit TNginxServer(const std::filesystem::path& Root);
  ~TNginxServer();
  TNginxServer(const TNginxServer&) = delete;
  TNginxServer& operator=(const TNginxServer&) = delete;

  bool Started() const { return FStarted; }
  const std::string& Reason() const { return FReason; }
  uint16_t Port() const { return FPort; }
  // "http://127.0.0.1:<port>/" followed by Path as given (not escaped).
  std::string Url(const std::string& Path) const;
  // What nginx wrote to its error and access logs so far.
  std::string ErrorLog() const;
  std::string AccessLog() const;

 private:
  // Writes the configuration for Port; the command line that runs it.
  std::vector<std::string> Configure(const std::filesystem::path& Root, uint16_t Port);

  TTempFolder FFolder{"kyv_nginx"};
  std::unique_ptr<TChildProcess> FProcess;
  uint16_t FPort = 0;
  bool FStarted = false;
  std::string FReason;
};

}  // namespace kyv::test
