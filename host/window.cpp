#include "host/window.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace hostwin {
namespace {

GLFWwindow* window = nullptr;
const char* windowInstance = nullptr;
const char* windowClass = nullptr;

// The window's sizes and the pointer as its events last reported them. GLFW
// asks the X server for each of these on every query, a round trip that costs
// more than a whole update of the game; events keep them current instead (the
// host polls events before every update and render).
int framebufferWidth = 0, framebufferHeight = 0;
int windowWidth = 0, windowHeight = 0;
double cursorX = 0, cursorY = 0;  // screen coordinates from the top left

KeyCallback keyCallback = nullptr;
CharCallback charCallback = nullptr;
MouseButtonCallback mouseButtonCallback = nullptr;
SizeCallback sizeCallback = nullptr;
RefreshCallback refreshCallback = nullptr;

// Set once the display server has taken the window away (window_x11.cpp).
bool windowLost = false;

// GLFW 3 reports held keys as GLFW_REPEAT; callers expect every repeat as a
// further press.
int PressOrRelease(int action) { return action == GLFW_RELEASE ? 0 : 1; }

void onGlfwKey(GLFWwindow*, int key, int /*scancode*/, int action, int /*mods*/) {
  if (keyCallback && key != GLFW_KEY_UNKNOWN) keyCallback(key, PressOrRelease(action));
}

void onGlfwChar(GLFWwindow*, unsigned int codepoint) {
  if (charCallback) charCallback(static_cast<int>(codepoint), 1);
}

void onGlfwMouseButton(GLFWwindow*, int button, int action, int /*mods*/) {
  if (mouseButtonCallback) mouseButtonCallback(button, PressOrRelease(action));
}

void onGlfwFramebufferSize(GLFWwindow*, int width, int height) {
  framebufferWidth = width;
  framebufferHeight = height;
  if (sizeCallback) sizeCallback(width, height);
}

void onGlfwWindowSize(GLFWwindow*, int width, int height) {
  windowWidth = width;
  windowHeight = height;
}

void onGlfwCursorPos(GLFWwindow*, double x, double y) {
  cursorX = x;
  cursorY = y;
}

void onGlfwRefresh(GLFWwindow*) {
  if (refreshCallback) refreshCallback();
}

bool windowAttribute(int attribute) { return window && glfwGetWindowAttrib(window, attribute) == GLFW_TRUE; }

}  // namespace

bool Init() { return glfwInit() == GLFW_TRUE; }

void Terminate() {
  glfwTerminate();
  window = nullptr;
}

DesktopMode GetDesktopMode() {
  DesktopMode mode;
  GLFWmonitor* monitor = glfwGetPrimaryMonitor();
  if (!monitor) return mode;
  glfwGetMonitorPos(monitor, &mode.x, &mode.y);
  if (const GLFWvidmode* video = glfwGetVideoMode(monitor)) {
    mode.width = video->width;
    mode.height = video->height;
  }
#ifndef __EMSCRIPTEN__  // the browser's window library knows no work area
  glfwGetMonitorWorkarea(monitor, &mode.workX, &mode.workY, &mode.workWidth, &mode.workHeight);
#endif
  if (mode.workWidth <= 0 || mode.workHeight <= 0) {
    mode.workX = mode.x;
    mode.workY = mode.y;
    mode.workWidth = mode.width;
    mode.workHeight = mode.height;
  }
  return mode;
}

namespace {

// `value` moved into [low, high]; `low` wins where the range is empty, so that
// the frame's top left corner (the title bar) stays on screen.
int Within(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

Placement PlaceOnDesktop(const DesktopMode& desktop, const FrameSize& frame, int width, int height) {
  if (desktop.workWidth <= 0 || desktop.workHeight <= 0) return {desktop.x, desktop.y, width, height};
  Placement place;
  const int roomWidth = desktop.workWidth - frame.left - frame.right;
  const int roomHeight = desktop.workHeight - frame.top - frame.bottom;
  place.width = std::max(1, std::min(width, roomWidth));
  place.height = std::max(1, std::min(height, roomHeight));
  place.x = Within(desktop.x + (desktop.width - place.width) / 2, desktop.workX + frame.left,
                   desktop.workX + desktop.workWidth - frame.right - place.width);
  place.y = Within(desktop.y + (desktop.height - place.height) / 2, desktop.workY + frame.top,
                   desktop.workY + desktop.workHeight - frame.bottom - place.height);
  return place;
}

void SetClass(const char* instance, const char* className) {
  windowInstance = instance;
  windowClass = className;
}

namespace {

// The window, hidden when asked, with its callbacks; no window (false) when
// GLFW refuses.
bool CreateWindow(int width, int height, bool visible) {
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
  glfwWindowHint(GLFW_VISIBLE, visible ? GLFW_TRUE : GLFW_FALSE);
#ifdef GLFW_X11_CLASS_NAME  // a window library without X11 (the browser's) has no class
  // Without these GLFW names the X11 class after the window title.
  if (windowInstance) glfwWindowHintString(GLFW_X11_INSTANCE_NAME, windowInstance);
  if (windowClass) glfwWindowHintString(GLFW_X11_CLASS_NAME, windowClass);
#endif
  window = glfwCreateWindow(width, height, "", nullptr, nullptr);
  // The hints stay with the library: windows opened later by anyone else in
  // the process (tests open a second window) must not come out hidden.
  glfwDefaultWindowHints();
  if (!window) return false;
  glfwMakeContextCurrent(window);
  glfwSetKeyCallback(window, onGlfwKey);
  glfwSetCharCallback(window, onGlfwChar);
  glfwSetMouseButtonCallback(window, onGlfwMouseButton);
  glfwSetFramebufferSizeCallback(window, onGlfwFramebufferSize);
  glfwSetWindowSizeCallback(window, onGlfwWindowSize);
  glfwSetCursorPosCallback(window, onGlfwCursorPos);
  glfwSetWindowRefreshCallback(window, onGlfwRefresh);
  return true;
}

// The sizes and pointer the events keep current, read once from the server.
void ReadWindowState() {
  glfwGetFramebufferSize(window, &framebufferWidth, &framebufferHeight);
  glfwGetWindowSize(window, &windowWidth, &windowHeight);
  glfwGetCursorPos(window, &cursorX, &cursorY);
}

}  // namespace

bool Open(int width, int height) {
  if (!CreateWindow(width, height, /*visible=*/true)) return false;
  ReadWindowState();
  return true;
}

#ifdef __EMSCRIPTEN__
// In the browser the window is the page's canvas, whose size follows the page
// (host/browser.cpp): there is no desktop to place it on.
bool OpenOnDesktop(int width, int height) { return Open(width, height); }
#else
// The frame is known only once the window exists: it is opened hidden at the
// size that fits without a frame, then fitted again with the frame the window
// manager announces (GLFW asks for it before the window is shown).
bool OpenOnDesktop(int width, int height) {
  const DesktopMode desktop = GetDesktopMode();
  const Placement bare = PlaceOnDesktop(desktop, FrameSize{}, width, height);
  if (!CreateWindow(bare.width, bare.height, /*visible=*/false)) return false;
  FrameSize frame;
  glfwGetWindowFrameSize(window, &frame.left, &frame.top, &frame.right, &frame.bottom);
  const Placement framed = PlaceOnDesktop(desktop, frame, width, height);
  if (framed.width != bare.width || framed.height != bare.height) {
    glfwSetWindowSize(window, framed.width, framed.height);
  }
  glfwSetWindowPos(window, framed.x, framed.y);
  glfwShowWindow(window);
  ReadWindowState();
  return true;
}
#endif

void SetIcon(const IconImage* images, int count) {
  if (!window || count <= 0) return;
  std::vector<GLFWimage> pictures;
  for (int i = 0; i < count; ++i) {
    // GLFW copies the pixels and never writes them; its struct is not const.
    pictures.push_back({images[i].width, images[i].height, const_cast<unsigned char*>(images[i].rgba)});
  }
  glfwSetWindowIcon(window, count, pictures.data());
}

void SetPos(int x, int y) {
  if (window) glfwSetWindowPos(window, x, y);
}

void SetSize(int width, int height) {
  if (window) glfwSetWindowSize(window, width, height);
}

void SetTitle(const char* title) {
  if (window) glfwSetWindowTitle(window, title);
}

bool WindowLost() { return windowLost; }
void MarkWindowLost() { windowLost = true; }

bool IsOpened() { return window && !glfwWindowShouldClose(window) && !WindowLost(); }

void RequestClose() {
  if (window) glfwSetWindowShouldClose(window, GLFW_TRUE);
}
bool IsIconified() { return windowAttribute(GLFW_ICONIFIED); }
bool IsActive() { return windowAttribute(GLFW_FOCUSED); }

void PollEvents() { glfwPollEvents(); }
void WaitEvents() { glfwWaitEvents(); }
void WakeEvents() { glfwPostEmptyEvent(); }

void Sleep(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

double Time() { return glfwGetTime(); }

void GetSize(int* width, int* height) {
  *width = window ? framebufferWidth : 0;
  *height = window ? framebufferHeight : 0;
}

void GetCursorPos(int* x, int* y) {
  *x = 0;
  *y = 0;
  if (!window) return;
  // The cursor comes in screen coordinates; scale it to framebuffer pixels,
  // the unit of every other size the host reports.
  double pixelX = cursorX, pixelY = cursorY;
  if (windowWidth > 0) pixelX = pixelX * framebufferWidth / windowWidth;
  if (windowHeight > 0) pixelY = pixelY * framebufferHeight / windowHeight;
  *x = static_cast<int>(pixelX);
  *y = static_cast<int>(pixelY);
}

void SwapBuffers() {
  if (window) glfwSwapBuffers(window);
}

void SetKeyCallback(KeyCallback callback) { keyCallback = callback; }
void SetCharCallback(CharCallback callback) { charCallback = callback; }
void SetMouseButtonCallback(MouseButtonCallback callback) { mouseButtonCallback = callback; }
void SetSizeCallback(SizeCallback callback) { sizeCallback = callback; }
void SetRefreshCallback(RefreshCallback callback) { refreshCallback = callback; }

#ifdef __EMSCRIPTEN__
void NoteResized(int width, int height) {
  onGlfwWindowSize(window, width, height);
  onGlfwFramebufferSize(window, width, height);
}
#endif

GLFWwindow* Handle() { return window; }

}  // namespace hostwin
