// The program's start and end: the device link library, the choice of the
// line protocol, one modal main window.
#pragma once

class CKCTestApp {
public:
    // Starts the libraries, runs the main window and ends them again; the
    // process's exit code.
    int run();

    // The loaded second-protocol library, or null.
    void* qrvxModule() const { return qrvxModule_; }

private:
    void offerQrvx();

    void* qrvxModule_ = nullptr;
};

// Points the per-user settings store at KL_SETTINGS_DIR when that is set, so
// that a demonstration or a test runs with settings of its own.
void applySettingsLocation();
