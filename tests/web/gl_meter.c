/* Loaded into the desktop korvane with LD_PRELOAD by the browser tests, so
 * that the desktop build is measured as the browser build is: for every
 * frame the program swaps onto the screen, one line
 *   <OpenGL draw calls> <main-thread CPU microseconds since the last swap>
 * appended to the file named by KORVANE_GL_METER. The CPU time covers the
 * frame's updates, its render and the swap, but not the sleeps between
 * frames. The program calls these functions directly, so the definitions
 * here come first; each passes the call on to the real one. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef void (*DrawArrays)(unsigned mode, int first, int count);
typedef void (*DrawElements)(unsigned mode, int count, unsigned type, const void* indices);
typedef void (*SwapBuffers)(void* window);

static long drawCalls;
static long long lastSwapCpuNs = -1;
static FILE* out;

static void* real(const char* name) {
  void* function = dlsym(RTLD_NEXT, name);
  if (!function) {
    fprintf(stderr, "gl_meter: no %s\n", name);
    abort();
  }
  return function;
}

static long long threadCpuNs(void) {
  struct timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

void glDrawArrays(unsigned mode, int first, int count) {
  static DrawArrays next;
  if (!next) next = (DrawArrays)real("glDrawArrays");
  drawCalls++;
  next(mode, first, count);
}

void glDrawElements(unsigned mode, int count, unsigned type, const void* indices) {
  static DrawElements next;
  if (!next) next = (DrawElements)real("glDrawElements");
  drawCalls++;
  next(mode, count, type, indices);
}

void glfwSwapBuffers(void* window) {
  static SwapBuffers next;
  if (!next) next = (SwapBuffers)real("glfwSwapBuffers");
  next(window);
  if (!out) {
    const char* name = getenv("KORVANE_GL_METER");
    out = fopen(name ? name : "/dev/null", "w");
    if (!out) abort();
    setvbuf(out, NULL, _IOLBF, 0); /* whole lines, even when the program is killed */
  }
  const long long now = threadCpuNs();
  if (lastSwapCpuNs >= 0) fprintf(out, "%ld %lld\n", drawCalls, (now - lastSwapCpuNs) / 1000);
  lastSwapCpuNs = now;
  drawCalls = 0;
}
