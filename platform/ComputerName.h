#pragma once

#include <QString>

#include <functional>
#include <utility>

// The computer's user-visible name. Asking never waits: the answer is the
// best name known at that moment (empty when the system has none), and a
// better one found later is announced through the handler given to
// onChanged, on the thread that asked.
class ComputerName {
public:
    virtual ~ComputerName() = default;
    virtual QString localizedName() = 0;

    void onChanged(std::function<void()> handler) { m_changed = std::move(handler); }

protected:
    void changed()
    {
        if (m_changed)
            m_changed();
    }

private:
    std::function<void()> m_changed;
};
