#pragma once
// Helpers for tests of the window: waiting in Qt's event loop and recording what the
// program showed, copied and opened.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <string>
#include <vector>

#include "platform/sinks.h"

// The sample live room's port in window tests, chosen before the browser starts.
inline int& SampleRoomPort() {
    static int port = 0;
    return port;
}

inline void ProcessEvents(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 15000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct SinkRecorder {
    struct Box {
        std::string text, title;
        unsigned style;
    };
    std::vector<Box> boxes;
    std::vector<std::string> copied, opened;

    void Install() {
        platform::SetMessageBoxSink(
            [this](const std::string& text, const std::string& title, unsigned style) {
                boxes.push_back({text, title, style});
                return 1;
            });
        platform::SetClipboardSink([this](const std::string& t) {
            copied.push_back(t);
            return true;
        });
        platform::SetShellOpenSink([this](const std::string& t) {
            opened.push_back(t);
            return true;
        });
    }
};
