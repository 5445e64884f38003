#include "FtpServer.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>

namespace kyv::test {
namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";

}  // namespace

TFtpServer::TFtpServer(const std::filesystem::path& Root) {
  if (::access(kVsftpd, X_OK) != 0) {
    FReason = std::string(kVsftpd) + " is not installed (Debian package vsftpd)";
    return;
  }
  if (::geteuid() != 0) {
    FReason = "vsftpd needs root to serve anonymous users";
    return;
  }
  if (::getpwnam("ftp") == nullptr) {
    FReason = "there is no user \"ftp\" for vsftpd's anonymous sessions";
    return;
  }
  for (int attempt = 0; attempt < 3 && !FStarted; ++attempt) FStarted = TryStart(Root);
}

TFtpServer::~TFtpServer() = default;

bool TFtpServer::TryStart(const std::filesystem::path& Root) {
  FProcess.reset();
  FPort = FreeLoopbackPort();
  if (FPort == 0) {
    FReason = "no free port on 127.0.0.1";
    return false;
  }
  const std::filesystem::path dir = FFolder.Path();
  std::filesystem::create_directories(dir / "empty");
  using std::filesystem::perms;
  std::filesystem::permissions(dir / "empty", perms::owner_all | perms::group_read |
                                                  perms::group_exec | perms::others_read |
                                                  perms::others_exec);
  std::filesystem::permissions(Root, perms::owner_all | perms::group_read | perms::group_exec |
                                         perms::others_read | perms::others_exec);
  {
    std::ofstream conf(dir / "vsftpd.conf");
    conf << "listen=YES\n"
            "listen_ipv6=NO\n"
            "listen_address=127.0.0.1\n"
            "listen_port="
         << FPort << "\n"
         << "background=NO\n"
            "anonymous_enable=YES\n"
            "no_anon_password=YES\n"
            "local_enable=NO\n"
            "write_enable=NO\n"
            "anon_root="
         << std::filesystem::absolute(Root).string() << "\n"
         << "secure_chroot_dir=" << (dir / "empty").string() << "\n"
         << "seccomp_sandbox=NO\n"
            "pasv_enable=YES\n"
            "connect_from_port_20=NO\n"
            "xferlog_enable=YES\n"
            "vsftpd_log_file="
         << (dir / "vsftpd.log").string() << "\n"
         << "syslog_enable=NO\n"
            "hide_ids=YES\n"
            "max_clients=16\n";
  }
  FProcess = std::make_unique<TChildProcess>(
      std::vector<std::string>{kVsftpd, (dir / "vsftpd.conf").string()}, dir / "output.txt");
  if (!FProcess->Started()) {
    FReason = "cannot run " + std::string(kVsftpd);
    return false;
  }
  if (WaitForLoopbackPort(FPort, *FProcess, std::chrono::seconds(5))) return true;
  FReason = "vsftpd did not start: " + ReadTextFile(dir / "output.txt");
  FProcess.reset();
  return false;
}

std::string TFtpServer::Url(const std::string& Path) const {
  return "ftp://127.0.0.1:" + std::to_string(FPort) + "/" + Path;
}

}  // namespace kyv::test
