/* DEMOCORE.DLL, the core library of the demo product (installed in C:\DEMO). Built twice
   from this source: DEMO_MINOR is 0 (1.0) or 1 (1.1). */
#define DEMO_EXPORT __attribute__((dllexport))

DEMO_EXPORT int DemoCoreVersion(void) { return 0x0100 + DEMO_MINOR; }

#if DEMO_MINOR == 0
DEMO_EXPORT const char* DemoCoreGreeting(void) { return "Hello from the demo core 1.0"; }
#else
DEMO_EXPORT const char* DemoCoreGreeting(void) {
  return "Hello from the demo core 1.1, now with checksums";
}

/* New in 1.1: a rolling checksum of a buffer. */
DEMO_EXPORT unsigned DemoCoreChecksum(const unsigned char* data, unsigned length) {
  unsigned a = 1, b = 0;
  for (unsigned i = 0; i < length; ++i) {
    a = (a + data[i]) % 65521u;
    b = (b + a) % 65521u;
  }
  return (b << 16) | a;
}
#endif
