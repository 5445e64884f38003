// Programs outside the library reach the decoder through the shared object's exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

class Library {
 public:
  Library() : FHandle(dlopen(KYV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (FHandle) dlclose(FHandle);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  void* Handle() const { return FHandle; }
  template <class F>
  F* Get(const char* name) const {
    return reinterpret_cast<F*>(dlsym(FHandle, name));
  }

 private:
  void* FHandle;
};

TEST(LibraryExports, TheDecoderFunctionsAreExportedWithCLinkage) {
  Library lib;
  ASSERT_NE(lib.Handle(), nullptr) << dlerror();
  for (const char* name : {"InitDecoder", "UninitDecoder", "LockDecoder", "UnlockDecoder",
                           "UnZipBuffer", "UnZipBufferEx", "CheckKyvFileHeader", "Decompress",
                           "KyvDecoderLastError"})
    EXPECT_NE(dlsym(lib.Handle(), name), nullptr) << name;
  // Internal names stay inside.
  EXPECT_EQ(dlsym(lib.Handle(), "_ZN3kyv13TDecoderState8InstanceEv"), nullptr);
}

TEST(LibraryExports, AFailureReachesACCallerAsAResultAndAText) {
  Library lib;
  ASSERT_NE(lib.Handle(), nullptr) << dlerror();
  auto* init = lib.Get<bool()>("InitDecoder");
  auto* uninit = lib.Get<bool()>("UninitDecoder");
  auto* unzip = lib.Get<int32_t(const void*, int32_t, int16_t, void*, int32_t)>("UnZipBuffer");
  auto* lastError = lib.Get<const char*()>("KyvDecoderLastError");
  ASSERT_TRUE(init && uninit && unzip && lastError);
  ASSERT_TRUE(init());
  const uint8_t src[4] = {1, 2, 3, 4};
  uint8_t dest[4];
  EXPECT_EQ(unzip(src, 4, 9, dest, 4), -1);
  ASSERT_NE(lastError(), nullptr);
  EXPECT_EQ(std::string(lastError()), "不支持这种图象压缩格式!");
  EXPECT_EQ(unzip(src, 4, 0, dest, 4), 4);
  EXPECT_EQ(lastError(), nullptr);
  EXPECT_TRUE(uninit());
}

}  // namespace
