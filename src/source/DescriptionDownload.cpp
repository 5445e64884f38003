#include "source/DescriptionDownload.h"

#include "log/Log.h"
#include "platform/Errors.h"
#include "source/DownloadFile.h"
#include "source/InternetSession.h"

namespace kyv {

std::string DownloadDescriptionFile(const std::string& Address, const std::string& CacheFolder) {
  TInternetSession internet;
  if (!internet.Opened()) throw EKyvError("Fail to open network connection");
  const std::string local = CacheFolder + "Kavrindel.sms";
  std::string reason;
  if (!DownloadFile(internet, Address, local, kMaxDescriptionFileBytes, &reason)) {
    GlobalLog().AddLine("Fail to download file: " + Address + ": " + reason);
    throw EKyvError("Fail to download file: " + Address);
  }
  return local;
}

}  // namespace kyv
