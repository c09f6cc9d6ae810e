#include "host/window.h"

#include <GLFW/glfw3.h>

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
  return mode;
}

void SetClass(const char* instance, const char* className) {
  windowInstance = instance;
  windowClass = className;
}

bool Open(int width, int height) {
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
#ifdef GLFW_X11_CLASS_NAME  // a window library without X11 (the browser's) has no class
  // Without these GLFW names the X11 class after the window title.
  if (windowInstance) glfwWindowHintString(GLFW_X11_INSTANCE_NAME, windowInstance);
  if (windowClass) glfwWindowHintString(GLFW_X11_CLASS_NAME, windowClass);
#endif
  window = glfwCreateWindow(width, height, "", nullptr, nullptr);
  if (!window) return false;
  glfwMakeContextCurrent(window);
  glfwSetKeyCallback(window, onGlfwKey);
  glfwSetCharCallback(window, onGlfwChar);
  glfwSetMouseButtonCallback(window, onGlfwMouseButton);
  glfwSetFramebufferSizeCallback(window, onGlfwFramebufferSize);
  glfwSetWindowSizeCallback(window, onGlfwWindowSize);
  glfwSetCursorPosCallback(window, onGlfwCursorPos);
  glfwSetWindowRefreshCallback(window, onGlfwRefresh);
  glfwGetFramebufferSize(window, &framebufferWidth, &framebufferHeight);
  glfwGetWindowSize(window, &windowWidth, &windowHeight);
  glfwGetCursorPos(window, &cursorX, &cursorY);
  return true;
}

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

void SetTitle(const char* title) {
  if (window) glfwSetWindowTitle(window, title);
}

bool IsOpened() { return window && !glfwWindowShouldClose(window); }

void RequestClose() {
  if (window) glfwSetWindowShouldClose(window, GLFW_TRUE);
}
bool IsIconified() { return windowAttribute(GLFW_ICONIFIED); }
bool IsActive() { return windowAttribute(GLFW_FOCUSED); }

void PollEvents() { glfwPollEvents(); }
void WaitEvents() { glfwWaitEvents(); }

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

GLFWwindow* Handle() { return window; }

}  // namespace hostwin
