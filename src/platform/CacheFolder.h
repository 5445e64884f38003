#pragma once

#include <string>

namespace kyv {

// The per-user cache folder: downloaded thumbnails (its "nails/" subfolder), downloaded
// description files and the play thread's dump. $KYV_CACHE_DIR when set, else
// $XDG_CACHE_HOME/kyvplayer/, else ~/.cache/kyvplayer/.
//
// Any thread. Returns the folder with a trailing '/', after making it and "nails/" (mode 0700,
// with every missing parent). A shared temporary folder is never used: a folder that is a
// symbolic link, not a folder, or owned by another user is refused, so that nobody can point our
// downloads at files of theirs. Raises EKyvError("Fail to create directory: " + the folder without
// its final '/') when the folder cannot be made or is refused; the caller shows that text.
std::string CacheFolder();

// Any thread. Where the cache folder is, with a trailing '/', without making it ("" when neither
// the environment nor the password database names a home folder).
std::string CacheFolderPath();

}  // namespace kyv
