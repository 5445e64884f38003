#pragma once

#include <string>
#include <string_view>

namespace kyv {

// The reader that an address selects, in the order the tests are made.
enum TReaderKind {
  rkLiveTcp,           // "KYVS..." : the live TCP client
  rkMulticastRemote,   // an ".SMS" description on a web server: downloaded first
  rkMulticastLocal,    // a local ".SMS" description file
  rkFile,              // a recording or still image, local or through the ranged HTTP stream
};

// Undoes the escapes "%7B", "%7D" and "%20", turns file addresses into paths and drops any
// query. "file:///C:/a.kyv" gives "C:\a.kyv", "file://host/share/a.kyv" the UNC path
// "\\host\share\a.kyv", and "file:///home/a.kyv" the local path "/home/a.kyv".
std::string NormalizeAddress(std::string_view address);

// True for addresses starting, in any case, with "HTTP" (HTTPS too), "FTP:" or "KYVS".
bool IsNetworkAddress(std::string_view address);

// The text from the last "." that follows the last "\" or ":" ("" when there is none); a "/"
// does not end the search, so "a.b/c" has the extension ".b/c".
std::string AddressExtension(std::string_view address);

// A bare name (neither "/" nor "\") is taken relative to the hosting document's address;
// anything else, or a document address without a separator, is returned unchanged.
std::string ResolveAddress(std::string_view normalised, std::string_view documentAddress);

TReaderKind ChooseReader(std::string_view resolved);

}  // namespace kyv
