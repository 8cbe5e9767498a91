#pragma once

#include <QString>

#include "engine/connection/CVFTPortTesterResult.h"

// Told of every new probe result. Main thread.
class CVFTPortTesterDelegate {
public:
    virtual ~CVFTPortTesterDelegate() = default;
    // (sic) The name keeps the spelling the connections window knows.
    virtual void entryWithIdentifiderChanged(const QString& identifier, const CVFTPortTesterResult& result) = 0;
};
