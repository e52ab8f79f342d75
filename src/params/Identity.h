// The names that identify the effect: what a host lists, what a file's properties show and what
// the LV2 data name. Read by C++ and by the Windows resource compiler (the DLL's version
// resource), so each name is a plain string macro first; C++ reads the constants below it.
#pragma once

#define KESTRANE_EFFECT_NAME "Kestrane"
#define KESTRANE_VENDOR_NAME "Halvorn"
#define KESTRANE_DESCRIPTION "four-band dynamics processor"

#ifndef RC_INVOKED
namespace kestrane {

inline constexpr char kEffectName[] = KESTRANE_EFFECT_NAME;    // the effect and the product
inline constexpr char kProductName[] = KESTRANE_EFFECT_NAME;
inline constexpr char kVendorName[] = KESTRANE_VENDOR_NAME;
inline constexpr char kDescription[] = KESTRANE_DESCRIPTION;  // what it is, in a few words

}  // namespace kestrane
#endif
