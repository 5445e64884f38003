/* What a desktop host may ask of the KyvPlayer control beyond its Automation contract. Not in
   the type library: a host gets it with QueryInterface(&IID_IKyvPlayerHost, ...) on the control.
   The identifier is fixed for good. */
#ifndef KYV_KYVPLAYERHOST_H
#define KYV_KYVPLAYERHOST_H

#include "kyvcom.h"

KYV_EXTERN_C_BEGIN

KYV_DEFINE_GUID(IID_IKyvPlayerHost, 0x2FEC1EDF, 0xC851, 0x4FAD, 0xBC, 0x0A, 0x68, 0x72, 0x61, 0xA5,
                0x7E, 0x5E);

#ifdef __cplusplus
}  // extern "C": the class below is C++ only

struct IKyvPlayerHost : IUnknown {
 public:
  /* The address of the document that hosts the control, against which relative addresses
     given to Open and URL are resolved; "" (or null) for none. */
  virtual HRESULT put_ContainerUrl(BSTR Url) = 0;
  virtual HRESULT get_ContainerUrl(BSTR* Url) = 0;
  /* Why the last source failed: the reader's code (0 when none failed yet), its text and what
     it learnt of the cause ("" when nothing more). Kept after Close. The caller frees the
     texts; any out pointer may be null. */
  virtual HRESULT GetLastSourceError(int32_t* Code, BSTR* Text, BSTR* Cause) = 0;
  /* The control's window as the toolkit's widget (a QWidget*), for a host built with the same
     toolkit to place in its own window; not a reference: valid while the control lives, unless
     the host deletes it (the control then raises OnDestroy and goes on without a window). Null
     and E_NOTIMPL when the control has no toolkit window. */
  virtual HRESULT GetWidget(void** Widget) = 0;

 protected:
  ~IKyvPlayerHost() = default;
};

extern "C" {
#else

struct IKyvPlayerHost;
/* clang-format off */
typedef struct IKyvPlayerHostVtbl {
  KYV_IUNKNOWN_MEMBERS(struct IKyvPlayerHost);
  HRESULT (*put_ContainerUrl)(struct IKyvPlayerHost* This, BSTR Url);
  HRESULT (*get_ContainerUrl)(struct IKyvPlayerHost* This, BSTR* Url);
  HRESULT (*GetLastSourceError)(struct IKyvPlayerHost* This, int32_t* Code, BSTR* Text,
                                BSTR* Cause);
  HRESULT (*GetWidget)(struct IKyvPlayerHost* This, void** Widget);
} IKyvPlayerHostVtbl;
/* clang-format on */
typedef struct IKyvPlayerHost {
  const IKyvPlayerHostVtbl* lpVtbl;
} IKyvPlayerHost;

#endif /* __cplusplus */

KYV_EXTERN_C_END

#endif /* KYV_KYVPLAYERHOST_H */
