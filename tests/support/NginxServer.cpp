#include "NginxServer.h"

#include <unistd.h>

#include <fstream>

namespace kyv::test {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

}  // namespace

TNginxServer::TNginxServer(const std::filesystem::path& Root) {
  if (::access(kNginx, X_OK) != 0) {
    FReason = std::string(kNginx) + " is not installed (Debian package nginx-light)";
    return;
  }
  TLoopbackServerSetup setup;
  setup.Name = "nginx";
  setup.OutputFile = FFolder.Path() / "output.txt";
  setup.Configure = [&](uint16_t Port) { return Configure(Root, Port); };
  setup.Diagnose = [&] { return ErrorLog(); };
  FProcess = StartLoopbackServer(setup, FPort, FReason);
  FStarted = FProcess != nullptr;
}

TNginxServer::~TNginxServer() = default;

std::vector<std::string> TNginxServer::Configure(const std::filesystem::path& Root, uint16_t Port) {
  const std::filesystem::path dir = FFolder.Path();
  for (const char* sub : {"body", "proxy", "fastcgi", "uwsgi", "scgi"})
    std::filesystem::create_directories(dir / "temp" / sub);
  const std::string d = dir.string();
  {
    std::ofstream conf(dir / "nginx.conf");
    if (::geteuid() == 0) conf << "user root;\n";
    conf << "daemon off;\n"
            "master_process off;\n"
            "worker_processes 1;\n"
            "pid "
         << d << "/nginx.pid;\n"
         << "error_log " << d << "/error.log warn;\n"
         << "events { worker_connections 64; }\n"
            "http {\n"
            "  access_log "
         << d << "/access.log;\n"
         << "  client_body_temp_path " << d << "/temp/body;\n"
         << "  proxy_temp_path " << d << "/temp/proxy;\n"
         << "  fastcgi_temp_path " << d << "/temp/fastcgi;\n"
         << "  uwsgi_temp_path " << d << "/temp/uwsgi;\n"
         << "  scgi_temp_path " << d << "/temp/scgi;\n"
         << "  default_type application/octet-stream;\n"
            "  sendfile on;\n"
            "  keepalive_requests 1000000;\n"
            "  keepalive_timeout 60s;\n"
            "  server {\n"
            "    listen 127.0.0.1:"
         << Port << ";\n"
         << "    root " << std::filesystem::absolute(Root).string() << ";\n"
         << "    location / { }\n"
            "  }\n"
            "}\n";
  }
  return {kNginx, "-p", d + "/", "-c", d + "/nginx.conf", "-e", d + "/error.log"};
}

std::string TNginxServer::Url(const std::string& Path) const {
  return "http://127.0.0.1:" + std::to_string(FPort) + "/" + Path;
}

std::string TNginxServer::ErrorLog() const {
  return ReadTextFile(FFolder.Path() / "error.log");
}

std::string TNginxServer::AccessLog() const {
  return ReadTextFile(FFolder.Path() / "access.log");
}

}  // namespace kyv::test
