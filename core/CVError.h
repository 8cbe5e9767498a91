#pragma once

#include <QString>

// A failure reported as a value: the counterpart of an error out-parameter.
// Storage and the core helpers use an empty domain, code 0 and the message
// as description. Plain value; any thread.
struct CVError {
    QString domain;
    int code = 0;
    QString description;

    static CVError withMessage(const QString& message) { return CVError{QString(), 0, message}; }
};

// Fills an optional out-parameter; callers that do not care pass nullptr.
inline void CVSetError(CVError* error, const QString& message)
{
    if (error)
        *error = CVError::withMessage(message);
}
