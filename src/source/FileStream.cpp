#include "source/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"
#include "platform/RegularFile.h"

namespace kyv {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& fileName, int error) {
  throw EKyvError(what + " \"" + fileName + "\": " + std::strerror(error));
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName)
    : FHandle(OpenRegularFile(FileName)), FFileName(FileName) {}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

size_t TFileStream::Read(void* buffer, size_t count) {
  auto* at = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(FHandle, at + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      Fail("Cannot read file", FFileName, errno);
    }
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t result = ::lseek(FHandle, static_cast<off_t>(offset), whence);
  if (result < 0) Fail("Cannot seek in file", FFileName, errno);
  return static_cast<int64_t>(result);
}

int64_t TFileStream::Size() const {
  struct stat info {};
  if (::fstat(FHandle, &info) != 0) Fail("Cannot read the size of file", FFileName, errno);
  return static_cast<int64_t>(info.st_size);
}

}  // namespace kyv
