// The RowResult being built for the row that runs now: started when the row's first event
// comes, handed to the observer and to the run's list when the next row starts or the run ends.
#pragma once

#include "flows/control_flow.h"
#include "transport/trace.h"

#include <optional>
#include <vector>

namespace dravik::flows {

class RowRecorder {
public:
    RowRecorder(const std::vector<targets::Target>& targets, ControlObserver& observer, std::vector<RowResult>& out)
        : targets_(targets), obs_(observer), out_(out) {}

    RowResult& at(int i) {
        if (current_ != i) {
            flush();
            current_ = i;
            pending_ = RowResult{};
            pending_->target = targets_[static_cast<std::size_t>(i)];
            obs_.rowStarted(i);
        }
        return *pending_;
    }
    void flush() {
        if (!pending_) return;
        // dravik.flow: each row's outcome beside the frames of dravik.lan / dravik.serial.
        transport::TraceFrame(transport::TraceChannel::Flow, transport::Direction::Rx,
                              QString::fromStdString(pending_->target.label()), pending_->reply,
                              QString::fromLatin1(OutcomeName(pending_->outcome).data(),
                                                  static_cast<qsizetype>(OutcomeName(pending_->outcome).size())));
        obs_.rowFinished(*pending_, current_);
        out_.push_back(std::move(*pending_));
        pending_.reset();
        current_ = -1;
    }

private:
    const std::vector<targets::Target>& targets_;
    ControlObserver& obs_;
    std::vector<RowResult>& out_;
    int current_ = -1;
    std::optional<RowResult> pending_;
};

}  // namespace dravik::flows
