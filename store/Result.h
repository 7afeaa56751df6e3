// The outcome of an operation: a value, or a message for the user that says what went wrong.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace store {

// A failure, with a Japanese message that the programs show to the user as it stands.
struct Error
{
    QString message;
    // The folder's files were busy (another program held their lock for the whole wait):
    // nothing was read or written, and the same operation may well succeed a little later.
    bool busy = false;
};

template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Error error) : m_error(std::move(error.message)), m_busy(error.busy) {}

    bool ok() const { return m_value.has_value(); }
    bool busy() const { return m_busy; }
    explicit operator bool() const { return ok(); }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    const QString &error() const { return m_error; }

private:
    std::optional<T> m_value;
    QString m_error;
    bool m_busy = false;
};

// Success or failure without a value.
class [[nodiscard]] Status
{
public:
    Status() = default;
    Status(Error error) : m_error(std::move(error.message)), m_failed(true), m_busy(error.busy) {}

    bool ok() const { return !m_failed; }
    bool busy() const { return m_busy; }
    explicit operator bool() const { return ok(); }
    const QString &error() const { return m_error; }

private:
    QString m_error;
    bool m_failed = false;
    bool m_busy = false;
};

} // namespace store
