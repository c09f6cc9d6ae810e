/* The stb_vorbis decoder, compiled from the system's stb_vorbis source with
   its heap routed through host/vorbis_memory.h (bounded, and reclaimed after
   every load). The system headers it needs come first, so that the macros
   below change only the decoder's own calls. */
#include <alloca.h>
#include <assert.h>
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host/vorbis_memory.h"

#define malloc(size) korvane_vorbis_malloc(size)
#define realloc(block, size) korvane_vorbis_realloc(block, size)
#define free(block) korvane_vorbis_free(block)

#include <stb/stb_vorbis.h>
