#pragma once
// How the core reports a failure: an operation that can fail returns its value or the text
// that says why there is none, and nothing else. Callers then handle every failure the same
// way: ask ok(), and log or show `error` behind their own fixed prefix.
//
// Exceptions are not a way to fail here. They remain where no value can be returned (a
// constructor refusing its arguments) and at a thread's slot boundary, which catches
// whatever escapes so that it never reaches the event loop.
//
// Values only: an Outcome belongs to whoever holds it, on any thread.

#include <QString>

#include <utility>

// The failure of an operation, convertible to the Outcome of any value type, so that a
// function returns Failure{text} whatever it would have returned.
struct Failure {
    QString error;  // the whole reason, never empty
};

template <typename T> struct [[nodiscard]] Outcome {
    T value{};      // T's empty value after a failure
    QString error;  // empty on success

    Outcome(T result)
        : value(std::move(result))
    {
    }
    Outcome(Failure failure)
        : error(std::move(failure.error))
    {
        Q_ASSERT(!error.isEmpty());
    }

    bool ok() const { return error.isEmpty(); }
    const T *operator->() const { return &value; }
    const T &operator*() const { return value; }
};

// An operation without a value: it succeeded, or here is why not.
template <> struct [[nodiscard]] Outcome<void> {
    QString error;  // empty on success

    Outcome() = default;
    Outcome(Failure failure)
        : error(std::move(failure.error))
    {
        Q_ASSERT(!error.isEmpty());
    }

    bool ok() const { return error.isEmpty(); }
};
