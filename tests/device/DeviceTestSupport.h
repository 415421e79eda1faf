#pragma once
// Test-side helpers for the device link: a recorder of what the driver shows on its status label and progress
// gauge (and the pseudo-terminal of RawPty.h).
#include "RawPty.h"
#include "device/EibConverter.h"

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace zelo::test {

// What the driver showed, step by step: each repaint of the gauge records the text and position of that
// moment.
struct ShownStep {
    std::string Text;
    int Position;
    bool operator==(const ShownStep&) const = default;
};

class ProgressRecorder {
public:
    class Label final : public ILabel {
    public:
        explicit Label(ProgressRecorder& r) : r_(r) {}
        void SetText(const std::string& text) override { r_.text_ = text; }
        void RepaintNow() override { ++r_.labelRepaints_; }

    private:
        ProgressRecorder& r_;
    };
    class Gauge final : public IGauge {
    public:
        explicit Gauge(ProgressRecorder& r) : r_(r) {}
        void SetMinimum(int value) override { r_.minimum_ = value; }
        void SetMaximum(int value) override { r_.maximum_ = value; }
        void SetPosition(int value) override { r_.position_ = value; }
        void RepaintNow() override { r_.steps_.push_back({r_.text_, r_.position_}); }

    private:
        ProgressRecorder& r_;
    };

    Label label{*this};
    Gauge gauge{*this};

    const std::vector<ShownStep>& Steps() const { return steps_; }
    std::pair<int, int> Range() const { return {minimum_, maximum_}; }
    int LabelRepaints() const { return labelRepaints_; }
    const std::string& Text() const { return text_; }
    int Position() const { return position_; }
    void ClearSteps() { steps_.clear(); }

private:
    std::string text_;
    int minimum_ = -1;
    int maximum_ = -1;
    int position_ = -1;
    int labelRepaints_ = 0;
    std::vector<ShownStep> steps_;
};

// Milliseconds since `start`.
inline long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace zelo::test
