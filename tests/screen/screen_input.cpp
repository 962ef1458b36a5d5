#include "screen_input.h"

#include "child_process.h"
#include "test_support.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <sstream>

namespace screen {

using namespace std::chrono_literals;
using testing_support::runProgram;
using testing_support::waitFor;

namespace {

std::string xdotool(const std::vector<std::string>& args)
{
    std::vector<std::string> command{KL_XDOTOOL};
    command.insert(command.end(), args.begin(), args.end());
    return runProgram(command, 10s).out;
}

std::string number(int value)
{
    return std::to_string(value);
}

}  // namespace

std::vector<TopWindow> windowsOf(pid_t pid)
{
    std::vector<TopWindow> windows;
    std::istringstream ids(xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid)}));
    for (WindowId id = 0; ids >> id;) {
        std::string title = xdotool({"getwindowname", std::to_string(id)});
        while (!title.empty() && title.back() == '\n')
            title.pop_back();
        windows.push_back({id, QString::fromStdString(title)});
    }
    return windows;
}

WindowId waitForWindow(pid_t pid, const QString& title, std::chrono::milliseconds deadline)
{
    WindowId found = 0;
    waitFor(
        [&] {
            for (const TopWindow& window : windowsOf(pid))
                if (window.title == title)
                    found = window.id;
            return found != 0;
        },
        deadline);
    return found;
}

bool waitForNoWindow(pid_t pid, const QString& title, std::chrono::milliseconds deadline)
{
    return waitFor(
        [&] {
            for (const TopWindow& window : windowsOf(pid))
                if (window.title == title)
                    return false;
            return true;
        },
        deadline);
}

bool iconified(WindowId window)
{
    return runProgram({KL_XPROP, "-id", std::to_string(window), "WM_STATE"}, 10s).out.find("Iconic") !=
           std::string::npos;
}

QRect geometryOf(WindowId window)
{
    std::istringstream lines(xdotool({"getwindowgeometry", "--shell", std::to_string(window)}));
    QRect rect;
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const int value = std::stoi(line.substr(equals + 1));
        const std::string name = line.substr(0, equals);
        if (name == "X")
            rect.moveLeft(value);
        else if (name == "Y")
            rect.moveTop(value);
        else if (name == "WIDTH")
            rect.setWidth(value);
        else if (name == "HEIGHT")
            rect.setHeight(value);
    }
    return rect;
}

void activate(WindowId window)
{
    xdotool({"windowactivate", "--sync", std::to_string(window)});
}

void moveTo(WindowId window, QPoint at)
{
    xdotool({"mousemove", "--window", std::to_string(window), number(at.x()), number(at.y())});
}

void click(WindowId window, QPoint at, int button, const std::string& holding)
{
    moveTo(window, at);
    if (holding.empty()) {
        xdotool({"click", number(button)});
        return;
    }
    xdotool({"keydown", holding, "click", number(button), "keyup", holding});
}

void drag(WindowId window, QPoint from, QPoint to)
{
    moveTo(window, from);
    xdotool({"mousedown", "1"});
    constexpr int steps = 5;
    for (int k = 1; k <= steps; ++k)
        moveTo(window, from + (to - from) * k / steps);
    xdotool({"mouseup", "1"});
}

void clickCloseBox(WindowId window)
{
    // _NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom
    const std::string extents =
        runProgram({KL_XPROP, "-id", std::to_string(window), "_NET_FRAME_EXTENTS"}, 10s).out;
    int left = 0;
    int right = 0;
    int top = 0;
    const auto equals = extents.find('=');
    if (equals == std::string::npos ||
        std::sscanf(extents.c_str() + equals + 1, " %d, %d, %d", &left, &right, &top) != 3)
        return;
    // The box is square, as high as the title bar less a margin, flush right.
    const QRect inside = geometryOf(window);
    click(window, QPoint(inside.width() + right - top / 2 - 1, -top / 2));
}

void key(const std::string& keys)
{
    xdotool({"key", "--delay", "30", keys});
}

void type(const std::string& text)
{
    xdotool({"type", "--delay", "10", text});
}

QImage grab(WindowId window)
{
    return QGuiApplication::primaryScreen()->grabWindow(window).toImage().convertToFormat(QImage::Format_RGB32);
}

int changedPixels(const QImage& before, const QImage& after, QRect rect)
{
    rect &= before.rect() & after.rect();
    int changed = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            changed += before.pixel(x, y) != after.pixel(x, y);
    return changed;
}

int darkPixels(const QImage& image, QRect rect)
{
    rect &= image.rect();
    int dark = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    return dark;
}

int textLines(const QImage& image, QRect rect)
{
    // Grey text of a disabled list counts too: anything well below the
    // light ground.
    rect &= image.rect();
    int lines = 0;
    bool inLine = false;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        bool inked = false;
        for (int x = rect.left(); x <= rect.right() && !inked; ++x)
            inked = qGray(image.pixel(x, y)) < 200;
        lines += inked && !inLine;
        inLine = inked;
    }
    return lines;
}

bool waitForPicture(WindowId window, const std::function<bool(const QImage&)>& seen,
                    std::chrono::milliseconds deadline)
{
    // Pictures are dear to the X server: one every 50 ms at most.
    auto next = std::chrono::steady_clock::now();
    bool last = false;
    return waitFor(
        [&] {
            const auto now = std::chrono::steady_clock::now();
            if (now >= next) {
                next = now + 50ms;
                last = seen(grab(window));
            }
            return last;
        },
        deadline);
}

bool waitForChange(WindowId window, const QImage& before, QRect rect, std::chrono::milliseconds deadline)
{
    return waitForPicture(
        window, [&](const QImage& picture) { return changedPixels(before, picture, rect) > 0; }, deadline);
}

}  // namespace screen
