#pragma once

#include <string>

namespace kyv {

// The open command for a multicast description file on a web server: copies it into the cache
// folder (ending in '/') as "Kavrindel.sms" and returns that local path, which the multicast
// reader then opens. At most kMaxDescriptionFileBytes are taken.
//
// Control's thread; blocks for the download, bounded by the session's time-outs. Raises
// EKyvError("Fail to open network connection") when no session can be made and
// EKyvError("Fail to download file: " + Address) when the copy fails (the reason is logged).
std::string DownloadDescriptionFile(const std::string& Address, const std::string& CacheFolder);

}  // namespace kyv
