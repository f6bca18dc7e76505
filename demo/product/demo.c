/* DEMO.EXE, the program of the demo product that `make demo` installs (1.0) and updates
   (1.1). Built twice from this source: DEMO_MINOR is 0 or 1. */
#include <stdio.h>

static const char kBanner[] = "Velloran Demo";

#if DEMO_MINOR >= 1
/* New in 1.1: counts the words of its arguments. */
static int CountWords(int argc, char** argv) {
  int words = 0;
  for (int i = 1; i < argc; ++i) {
    int inWord = 0;
    for (const char* p = argv[i]; *p; ++p) {
      if (*p == ' ' || *p == '\t') {
        inWord = 0;
      } else if (!inWord) {
        inWord = 1;
        ++words;
      }
    }
  }
  return words;
}
#endif

int main(int argc, char** argv) {
  printf("%s 1.%d\n", kBanner, DEMO_MINOR);
#if DEMO_MINOR >= 1
  printf("%d words given\n", CountWords(argc, argv));
#else
  (void)argv;
  printf("%d arguments given\n", argc - 1);
#endif
  return 0;
}
