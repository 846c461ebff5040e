#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QStringList>

#include <memory>
#include <vector>

namespace quorvane {

// The application object of a process that runs the web engine, set up before the engine starts
// as the engine needs it: nothing shown (the offscreen platform), the Chromium switches given,
// the router's scheme known. The engine's helper and the benchmark of the engine's floor start
// alike through it.
class EngineApplication {
public:
    EngineApplication(const char* program, const QStringList& chromiumSwitches);
    EngineApplication(const EngineApplication&) = delete;
    EngineApplication& operator=(const EngineApplication&) = delete;

    int exec() { return app_->exec(); }

private:
    // The application keeps referring to its arguments, so they live as long as it does.
    std::vector<QByteArray> arguments_;
    std::vector<char*> argv_;
    int argc_ = 0;
    std::unique_ptr<QGuiApplication> app_;
};

}  // namespace quorvane
