// A progress bar as the core drives it: position, minimum 0, maximum and step.
#pragma once

#include <cstdint>

namespace nx {

class Progress {
public:
    virtual ~Progress() = default;
    virtual void setMaximum(std::int64_t maximum) = 0;
    virtual void setPosition(std::int64_t position) = 0;
    virtual void setStep(int step) = 0;
    virtual void stepIt() = 0;  // position += step
};

// Progress that goes nowhere, for batch use.
class NoProgress final : public Progress {
public:
    void setMaximum(std::int64_t) override {}
    void setPosition(std::int64_t) override {}
    void setStep(int) override {}
    void stepIt() override {}
};

}  // namespace nx
