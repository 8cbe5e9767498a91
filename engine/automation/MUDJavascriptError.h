#pragma once

#include <QMetaType>
#include <QString>
#include <optional>

#include "engine/automation/MUDJavascriptParameterSubstitution.h"

// A script failure (or the report of a debug script) handed to the session.
// A plain value; any thread.
struct MUDJavascriptError {
    QString scriptName;
    QString rawScript;
    QString processedScript;
    std::optional<MUDScriptParameters> parameters;
    QString errorMessage;
};

// Error lines carry the error as their link value.
Q_DECLARE_METATYPE(MUDJavascriptError)
