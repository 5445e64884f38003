// The control library. Its exports come from the static libraries it is linked from; this unit
// only gives the shared object a translation unit of its own.
namespace kyv {
[[maybe_unused]] static const char kLibraryName[] = "libkyvplayer";
}
