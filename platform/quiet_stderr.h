#pragma once
// Keeps standard error quiet for a scope. System libraries that the platform
// layer starts (ALSA without a sound card, libwayland without a session)
// print their own complaints there; the program reports what matters in one
// line of its own instead. Single-threaded use only: the redirection is
// process-wide.

class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;   // duplicate of the real standard error, -1 if none
};
