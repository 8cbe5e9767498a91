#pragma once

#include <QString>
#include <optional>

#include "core/CVError.h"

// One probe's outcome for the connections window. Plain value; any thread.
struct CVFTPortTesterResult {
    enum Status : qint32 { Unknown = 0, Online = 1, Partial = 2, Offline = 3 };

    QString ipAddress; // empty when the host did not resolve
    bool success = false;
    qint64 port = 0;
    QString hostDisplay; // the resolved address, or empty
    std::optional<CVError> error;
    qint32 connectionResultStatus = Unknown;

    void clear()
    {
        ipAddress.clear();
        hostDisplay.clear();
        error.reset();
        connectionResultStatus = Unknown;
    }
};
