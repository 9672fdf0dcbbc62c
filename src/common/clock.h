// Core code asks a Clock for "now"; tests hand in a manual one.
#pragma once

#include <chrono>

namespace pcs {

using Time_Point = std::chrono::system_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    virtual Time_Point Now() const = 0;
};

class System_Clock final : public Clock {
public:
    Time_Point Now() const override { return std::chrono::system_clock::now(); }
};

class Manual_Clock final : public Clock {
public:
    explicit Manual_Clock(Time_Point t = Time_Point{}) : now_(t) {}
    Time_Point Now() const override { return now_; }
    void Set(Time_Point t) { now_ = t; }
    void Advance(std::chrono::system_clock::duration d) { now_ += d; }

private:
    Time_Point now_;
};

} // namespace pcs
