// An X server of the tests' own: Xvfb on a free display, with Debian's
// openbox as its window manager, both ended at the end of the scope.
// DISPLAY names it for the scope, so that programs started meanwhile (and
// the test's own QApplication) show their windows there.
#pragma once

#include "child_process.h"
#include "test_support.h"

#include <memory>
#include <string>

namespace screen {

class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    const std::string& display() const { return display_; }

private:
    testing_support::TempDir logs_;
    std::unique_ptr<testing_support::ChildProcess> server_;
    std::unique_ptr<testing_support::ChildProcess> windowManager_;
    std::unique_ptr<testing_support::ScopedEnv> displayEnv_;
    std::string display_;
};

}  // namespace screen
