/* The public header compiles as C and gives IKyvPlayer its 84 slots. */
#include "kyv/kyvplayer.h"

KYV_STATIC_ASSERT(offsetof(IKyvPlayerVtbl, QueryInterface) == 0, "IUnknown first");
KYV_STATIC_ASSERT(offsetof(IKyvPlayerVtbl, Invoke) == 6 * sizeof(void*), "IDispatch next");
KYV_STATIC_ASSERT(offsetof(IKyvPlayerVtbl, get_Caption) == 15 * sizeof(void*), "slot 15");
KYV_STATIC_ASSERT(offsetof(IKyvPlayerVtbl, LoadFile) == 41 * sizeof(void*), "slot 41");
KYV_STATIC_ASSERT(offsetof(IKyvPlayerVtbl, Play) == 46 * sizeof(void*), "slot 46");
KYV_STATIC_ASSERT(offsetof(IKyvPlayerVtbl, get_Status) == 63 * sizeof(void*), "slot 63");

int KyvPlayerSlotCount(void) {
  return (int)(sizeof(IKyvPlayerVtbl) / sizeof(void*));
}

int KyvPlayerDispid(int which) {
  switch (which) {
    case 0:
      return DISPID_KYVPLAYER_CAPTION;
    case 1:
      return DISPID_KYVPLAYER_COLOR;
    case 2:
      return DISPID_KYVPLAYER_FONT;
    case 3:
      return DISPID_KYVPLAYER_ENABLED;
    default:
      return DISPID_KYVPLAYEREVENTS_ONMOUSEUP;
  }
}
