#pragma once

#include <QString>

#include <optional>

// The outcome of a request to the desktop: nothing when it succeeded, or why
// it failed, as a description for a log line. A type of its own, so that a
// failure cannot be dropped unread and is not mistaken for a plain optional
// value (a name that may be missing).
class [[nodiscard]] ActionResult {
public:
    ActionResult() = default; // success
    ActionResult(std::nullopt_t) {}
    ActionResult(QString failure) : m_failure(std::move(failure)) {}

    bool failed() const { return m_failure.has_value(); }
    explicit operator bool() const { return failed(); }
    // The description of a failure; only when failed().
    const QString &operator*() const { return *m_failure; }
    const QString *operator->() const { return &*m_failure; }
    QString failureOr(const QString &fallback) const { return m_failure.value_or(fallback); }

    friend bool operator==(const ActionResult &, const ActionResult &) = default;

private:
    std::optional<QString> m_failure;
};
