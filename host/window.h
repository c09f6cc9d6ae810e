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
// desktop, in screen coordinates, with its work area: the part of it that
// panels and docks leave to windows (the whole monitor where the desktop does
// not say).
struct DesktopMode {
  int x = 0, y = 0;
  int width = 0, height = 0;
  int workX = 0, workY = 0;
  int workWidth = 0, workHeight = 0;
};

// The window manager's frame around a window's content (title bar and
// borders), in screen coordinates; all zero without a window manager.
struct FrameSize {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Where a window's content goes and its size, in screen coordinates.
struct Placement {
  int x = 0, y = 0;
  int width = 0, height = 0;
};

// A window of width x height centred on the monitor, shrunk where it and its
// frame do not fit in the work area, and moved into the work area so that the
// whole frame, title bar included, is on screen. Without a known work area the
// window keeps its size at the monitor's corner.
Placement PlaceOnDesktop(const DesktopMode& desktop, const FrameSize& frame, int width, int height);

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
// Open for the program's own window: at most width x height, placed on the
// primary monitor by PlaceOnDesktop with the frame the window manager gives
// it, and shown once placed, so that it never appears off screen first.
bool OpenOnDesktop(int width, int height);

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
// Asks for a new size of the window's area (screen coordinates).
void SetSize(int width, int height);

bool IsOpened();  // false once the user asked to close the window
// Asks for the window to close, as its close button does: the host loop ends
// after the pass it is in.
void RequestClose();
bool IsIconified();  // minimised
bool IsActive();     // holds the input focus

void PollEvents();
void WaitEvents();
// Wakes a WaitEvents in progress (or makes the next one return at once);
// safe to call from any thread.
void WakeEvents();

// The desktop's display server can take the window away: another program
// destroys it, or the connection to the display is lost. From this call on,
// an error from the display server marks the window lost, so that IsOpened
// turns false and the host loop ends in order, where the display library
// would have ended the program at once. A lost connection cannot be
// survived: `onConnectionLost` runs (the program's last chance to save)
// before the program ends with exit code 1.
void WatchForLostWindow(void (*onConnectionLost)());
bool WindowLost();
void MarkWindowLost();  // for the watcher
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
// Browser only: the window (the page's canvas) was resized outside the window
// library (host/browser.cpp). The sizes reported from now on follow, and the
// size callback hears of it, as after a resize event.
void NoteResized(int width, int height);

// The GLFW window, for the devices' direct queries and for tests; null
// while no window is open.
GLFWwindow* Handle();

}  // namespace hostwin
