#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace kyv {

namespace {

const char* KindOf(mode_t Mode) {
  if (S_ISDIR(Mode)) return "a folder";
  if (S_ISFIFO(Mode)) return "a named pipe";
  if (S_ISCHR(Mode) || S_ISBLK(Mode)) return "a device";
  if (S_ISSOCK(Mode)) return "a socket";
  return "a special file";
}

}  // namespace

int OpenRegularFile(const std::string& FileName) {
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw EKyvError("Cannot open file \"" + FileName + "\": " + std::strerror(errno));
  struct stat info {};
  std::string problem;
  if (::fstat(fd, &info) != 0)
    problem = std::strerror(errno);
  else if (!S_ISREG(info.st_mode))
    problem = std::string("it is ") + KindOf(info.st_mode) + ", not a regular file";
  else if (const int flags = ::fcntl(fd, F_GETFL);
           flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    problem = std::strerror(errno);
  if (!problem.empty()) {
    ::close(fd);
    throw EKyvError("Cannot open file \"" + FileName + "\": " + problem);
  }
  return fd;
}

}  // namespace kyv
