// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

// A note's 500 ms timer. All of them are driven by one timer of the program:
// however many notes are shown, and whenever each was made, the program
// wakes twice a second, once, and handles every note's tick in that one
// wake-up.
class SharedTick
{
public:
    explicit SharedTick(std::function<void()> onTick);
    ~SharedTick();
    SharedTick(const SharedTick &) = delete;
    SharedTick &operator=(const SharedTick &) = delete;

    void start();
    void stop();
    bool isActive() const { return m_active; }

private:
    std::function<void()> m_onTick;
    bool m_active = false;

    friend struct TickTimer;
};
