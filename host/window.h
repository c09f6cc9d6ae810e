// The program's one window, on GLFW 3, with the behaviour the host loop was
// written for: a window that is "opened" until the user asks to close it,
// "iconified" while minimised and "active" while it has the input focus; key
// repeats arriving as ordinary presses; events handled only inside PollEvents
// and WaitEvents; a real sleep; and every size in framebuffer pixels, so that
// on a scaled desktop the renderer fills the window at full sharpness.
//
// Only host/ includes this. Everything here runs on the main thread. Open
// makes the window's OpenGL context current and leaves the swap interval at
// the driver's default. Callbacks receive GLFW 3 key codes; actions are
// 0 (release) and 1 (press, including repeats). Calls that need the window do
// nothing (or report 0 / false) while no window is open.
#pragma once

struct GLFWwindow;

namespace hostwin {

// The primary monitor's current mode and where that monitor sits on the
// desktop, in screen coordinates.
struct DesktopMode {
  int x = 0, y = 0;
  int width = 0, height = 0;
};

using KeyCallback = void (*)(int key, int action);
using CharCallback = void (*)(int chr, int action);
using MouseButtonCallback = void (*)(int button, int action);
using SizeCallback = void (*)(int width, int height);
using RefreshCallback = void (*)();

bool Init();
void Terminate();
DesktopMode GetDesktopMode();

// The X11 instance and class names (WM_CLASS) of the windows opened from now
// on; a desktop entry's StartupWMClass names the class, which is how docks and
// task switchers tie the window to its menu entry and icon. Both must outlive
// the next Open.
void SetClass(const char* instance, const char* className);

// A resizable, windowed-mode window of the given size with default colour,
// depth and stencil bits. Shown at once, like the classic open call.
bool Open(int width, int height);

// One picture of the window's icon: width x height RGBA pixels, 8 bits each,
// rows from the top.
struct IconImage {
  int width = 0, height = 0;
  const unsigned char* rgba = nullptr;
};
// Gives the window its icon in several sizes (the desktop picks the best);
// the pixels are copied. No images, or no window, changes nothing.
void SetIcon(const IconImage* images, int count);
void SetPos(int x, int y);
void SetTitle(const char* title);

bool IsOpened();  // false once the user asked to close the window
// Asks for the window to close, as its close button does: the host loop ends
// after the pass it is in.
void RequestClose();
bool IsIconified();  // minimised
bool IsActive();     // holds the input focus

void PollEvents();
void WaitEvents();
void Sleep(double seconds);
double Time();  // seconds since Init

// Both as the window's events last reported them (the pointer: its last
// position over the window, or anywhere while a button is held), so they cost
// no round trip to the display server.
void GetSize(int* width, int* height);  // framebuffer pixels
void GetCursorPos(int* x, int* y);      // framebuffer pixels from the top left
void SwapBuffers();

void SetKeyCallback(KeyCallback callback);
void SetCharCallback(CharCallback callback);
void SetMouseButtonCallback(MouseButtonCallback callback);
void SetSizeCallback(SizeCallback callback);
void SetRefreshCallback(RefreshCallback callback);

// The GLFW window, for the devices' direct queries and for tests; null
// while no window is open.
GLFWwindow* Handle();

}  // namespace hostwin
