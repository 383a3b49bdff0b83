// SPDX-License-Identifier: MIT
#include "store/SettingsWriter.h"

#include <chrono>

SettingsWriter::SettingsWriter(std::function<void()> run) : m_run(std::move(run))
{
    m_thread = std::thread([this] { loop(); });
}

SettingsWriter::~SettingsWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    // A write already handed over is finished first; one stuck on a dead
    // disk must not hold up the end of the program.
    if (waitIdle(5000))
        m_thread.join();
    else
        m_thread.detach();
}

void SettingsWriter::request()
{
    {
        std::lock_guard lock(m_mutex);
        m_requested = true;
    }
    m_changed.notify_all();
}

bool SettingsWriter::busy()
{
    std::lock_guard lock(m_mutex);
    return m_requested || m_running;
}

bool SettingsWriter::waitIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const auto idle = [this] { return !m_requested && !m_running; };
    if (timeoutMs < 0) {
        m_changed.wait(lock, idle);
        return true;
    }
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
}

void SettingsWriter::loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_requested || m_stopping; });
        if (!m_requested)
            return;
        m_requested = false;
        m_running = true;
        lock.unlock();
        m_run();
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}
