// The program's start and end: the device link library, the choice of the
// line protocol, one modal main window.
#pragma once

#include <QString>

class CKCTestApp {
public:
    // `qrvxLibrary`: the file name of the optional second-protocol library.
    explicit CKCTestApp(const char* qrvxLibrary = "libqrvx.so") : qrvxLibrary_(qrvxLibrary) {}
    ~CKCTestApp();
    CKCTestApp(const CKCTestApp&) = delete;
    CKCTestApp& operator=(const CKCTestApp&) = delete;

    // Starts the libraries, runs the main window and ends them again; the
    // process's exit code. A `seriesFile` is shown in the graph at once.
    int run(const QString& seriesFile = QString());

    // Looks for the second-protocol library and, when it loads, asks the
    // operator whether to use it; on No it is unloaded again.
    void offerQrvx();
    void unloadQrvx();

    // The loaded second-protocol library, or null.
    void* qrvxModule() const { return qrvxModule_; }

private:
    const char* qrvxLibrary_;
    void* qrvxModule_ = nullptr;
};

// Points the per-user settings store at KL_SETTINGS_DIR when that is set, so
// that a demonstration or a test runs with settings of its own.
void applySettingsLocation();
