#pragma once

#include <cstdint>
#include <functional>

// Base of the component's property objects: changes are reported to the owner through one
// handler, and a bracket of BeginUpdate/EndUpdate folds many changes into one report.
class TSioPersistent {
public:
    using TChangeHandler = std::function<void(TSioPersistent& sender)>;

    TSioPersistent() = default;
    TSioPersistent(const TSioPersistent&) = delete;
    TSioPersistent& operator=(const TSioPersistent&) = delete;
    virtual ~TSioPersistent() = default;

    void BeginUpdate();
    // Ends one bracket and reports the change when it was the outermost one.
    void EndUpdate();
    // Reports a change to the handler unless an update bracket is open.
    void Changed();

    std::int32_t UpdateCount() const { return updateCount_; }
    void SetOnChange(TChangeHandler handler) { onChange_ = std::move(handler); }

private:
    std::int32_t updateCount_ = 0;
    TChangeHandler onChange_;
};

