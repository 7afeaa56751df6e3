// The outcome of a store operation: a value, or a message for the user that says what went wrong.
#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace store {

// A failure, with a Japanese message that the programs show to the user as it stands.
struct Error
{
    QString message;
};

template <typename T> class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Error error) : m_error(std::move(error.message)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    const QString &error() const { return m_error; }

private:
    std::optional<T> m_value;
    QString m_error;
};

// Success or failure without a value.
class Status
{
public:
    Status() = default;
    Status(Error error) : m_error(std::move(error.message)), m_failed(true) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString &error() const { return m_error; }

private:
    QString m_error;
    bool m_failed = false;
};

} // namespace store
