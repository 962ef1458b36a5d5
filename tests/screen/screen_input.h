// What a person at the screen does and sees, through the X server: input
// events sent with xdotool (XTest), the program's mapped windows and their
// titles, and pictures of windows.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace screen {

using WindowId = unsigned long;

struct TopWindow {
    WindowId id = 0;
    QString title;
};

// The mapped windows of a process (its menus included), in no order.
std::vector<TopWindow> windowsOf(pid_t pid);

// Waits until the process shows a window of that title; its id, or 0.
WindowId waitForWindow(pid_t pid, const QString& title,
                       std::chrono::milliseconds deadline = std::chrono::seconds(15));
// Waits until the process shows no window of that title.
bool waitForNoWindow(pid_t pid, const QString& title,
                     std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Whether the window manager keeps the window minimized.
bool iconified(WindowId window);

// The window's place on the screen (its inside, without the frame).
QRect geometryOf(WindowId window);

// Raises the window and gives it the keyboard, through the window manager.
void activate(WindowId window);
// Moves the pointer to `at` inside the window.
void moveTo(WindowId window, QPoint at);
// Presses and releases a button at `at`: 1 left, 3 right, 4 and 5 the wheel;
// with `holding` ("ctrl", "shift") that key is held down meanwhile.
void click(WindowId window, QPoint at, int button = 1, const std::string& holding = {});
// Presses the left button at `from`, moves to `to` in steps and releases it.
void drag(WindowId window, QPoint from, QPoint to);
// Clicks the close box the window manager draws at the right end of the
// window's title bar.
void clickCloseBox(WindowId window);
// Keys as xdotool names them ("Return", "ctrl+l", "Tab").
void key(const std::string& keys);
// Types ASCII text.
void type(const std::string& text);

// A picture of the window as it is on the screen.
QImage grab(WindowId window);
// Pixels of `rect` that differ between two pictures of the same window.
int changedPixels(const QImage& before, const QImage& after, QRect rect);
// Dark pixels in `rect` (text on a light ground).
int darkPixels(const QImage& image, QRect rect);

// Lines of text in `rect` (on a light ground): runs of pixel rows that
// hold text, black or grey.
int textLines(const QImage& image, QRect rect);

// Waits until a picture of the window, taken every 50 ms, satisfies `seen`.
bool waitForPicture(WindowId window, const std::function<bool(const QImage&)>& seen,
                    std::chrono::milliseconds deadline);
// Waits until `rect` of the window differs from `before`.
bool waitForChange(WindowId window, const QImage& before, QRect rect,
                   std::chrono::milliseconds deadline = std::chrono::seconds(5));

}  // namespace screen
