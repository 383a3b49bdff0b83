// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The one thread that writes the settings file, so that the screen's thread
// never waits for a disk: `run` is called on it once per request, one call at
// a time; requests made while a call runs are served together by one more.
class SettingsWriter
{
public:
    explicit SettingsWriter(std::function<void()> run);
    // Leaves a write stuck on a dead disk to the end of the process.
    ~SettingsWriter();
    SettingsWriter(const SettingsWriter &) = delete;
    SettingsWriter &operator=(const SettingsWriter &) = delete;

    void request();
    // Whether a run is requested or running, without waiting.
    bool busy();
    // Waits until nothing is requested or running, for at most `timeoutMs`
    // (no limit when negative). True when the writer is idle.
    bool waitIdle(int timeoutMs);

private:
    void loop();

    std::function<void()> m_run;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_requested = false;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
};
