// The library's entry point. A host calls it once per instance with its callback and gets
// the instance's record back (null when no instance can be made).
//
// Exported names: on Windows exactly `main`, an alias of VSTPluginMain made by the module
// definition file Kestrane.def; elsewhere `main` and `VSTPluginMain`, the only symbols the
// version script exports.
#include "shell/KestraneProcessorWithEditor.h"
#include "shell/VstAbi.h"

extern "C" {

#if defined(_WIN32)
#define KESTRANE_ENTRY
#else
#define KESTRANE_ENTRY __attribute__((visibility("default")))
#endif

KESTRANE_ENTRY kestrane::AEffect* KESTRANE_VSTCALLBACK
VSTPluginMain(kestrane::audioMasterCallback host) noexcept {
  return kestrane::createKestraneInstance(host);
}

}  // extern "C"

#if defined(__ELF__)
// `main` as a second name of the same function, made by the assembler: hosts look the entry
// point up under that name, and a C++ function may not be called main.
__asm__(
    ".globl main\n"
    ".type main, @function\n"
    ".set main, VSTPluginMain\n");
#endif
