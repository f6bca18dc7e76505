/* DEMOSYS.DLL, the demo product's shared library in the Windows system directory
   (C:\windows\system32). Built twice from this source: DEMO_MINOR is 0 (1.0) or 1 (1.1). */
#define DEMO_EXPORT __attribute__((dllexport))

DEMO_EXPORT int DemoSysVersion(void) { return 0x0100 + DEMO_MINOR; }

#if DEMO_MINOR >= 1
/* New in 1.1: the name the product registers under. */
DEMO_EXPORT const char* DemoSysProductKey(void) { return "Software\\Velloran\\Demo\\1.0"; }
#endif
