/* The check macro and the loading of a component library, shared by the C hosts of the tests:
   a host counts failed checks in `failures` and exits non-zero when any failed. */
#ifndef KYV_TESTS_HOSTCHECK_H
#define KYV_TESTS_HOSTCHECK_H

#include <dlfcn.h>
#include <stdio.h>

#include "kyv/kyvcom.h"

static int failures = 0;

#define CHECK(condition)                                                      \
  do {                                                                        \
    if (!(condition)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
      ++failures;                                                             \
    }                                                                         \
  } while (0)

/* The entry points of a component library; the library stays loaded until the host exits. */
typedef struct TComponentLibrary {
  LPFNREGISTERSERVER Register;
  LPFNREGISTERSERVER Unregister;
  LPFNCANUNLOADNOW CanUnloadNow;
} TComponentLibrary;

/* Loads the library at Path and finds its entry points; 0 (and a failed check) when it cannot. */
static inline int LoadComponent(const char* Path, TComponentLibrary* Library) {
  void* handle = dlopen(Path, RTLD_NOW | RTLD_LOCAL);
  CHECK(handle != NULL);
  if (handle == NULL) return 0;
  Library->Register = (LPFNREGISTERSERVER)dlsym(handle, "DllRegisterServer");
  Library->Unregister = (LPFNREGISTERSERVER)dlsym(handle, "DllUnregisterServer");
  Library->CanUnloadNow = (LPFNCANUNLOADNOW)dlsym(handle, "DllCanUnloadNow");
  CHECK(Library->Register != NULL && Library->Unregister != NULL && Library->CanUnloadNow != NULL);
  return Library->Register != NULL && Library->Unregister != NULL && Library->CanUnloadNow != NULL;
}

#endif
