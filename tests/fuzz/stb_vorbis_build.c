/* The Ogg Vorbis decoder compiled into the fuzz target from the system's
   stb_vorbis source, so that the fuzzer sees (and instruments) the decoder
   itself rather than only the shared library's entry points. */
#include <stb/stb_vorbis.h>
