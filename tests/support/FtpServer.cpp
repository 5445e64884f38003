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
  TLoopbackServerSetup setup;
  setup.Name = "vsftpd";
  setup.OutputFile = FFolder.Path() / "output.txt";
  setup.Configure = [&](uint16_t Port) { return Configure(Root, Port); };
  FProcess = StartLoopbackServer(setup, FPort, FReason);
  FStarted = FProcess != nullptr;
}

TFtpServer::~TFtpServer() = default;

std::vector<std::string> TFtpServer::Configure(const std::filesystem::path& Root, uint16_t Port) {
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
         << Port << "\n"
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
  return {kVsftpd, (dir / "vsftpd.conf").string()};
}

std::string TFtpServer::Url(const std::string& Path) const {
  return "ftp://127.0.0.1:" + std::to_string(FPort) + "/" + Path;
}

}  // namespace kyv::test
