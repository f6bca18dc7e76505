/* DEMOFX.DLL, the optional "Sample Extras" component of the demo product (installed in
   C:\DEMO\EXTRAS, left out of an update unless the user selects it). Built twice from this
   source: DEMO_MINOR is 0 (1.0) or 1 (1.1). */
#define DEMO_EXPORT __attribute__((dllexport))

DEMO_EXPORT int DemoFxVersion(void) { return 0x0100 + DEMO_MINOR; }

/* Fades a value towards zero; 1.1 fades in more steps. */
DEMO_EXPORT int DemoFxFade(int value, int step) {
#if DEMO_MINOR == 0
  return value - value * step / 4;
#else
  int steps = 16;
  if (step < 0) step = 0;
  if (step > steps) step = steps;
  return value - value * step / steps;
#endif
}
